#pragma once

// Fields of the generation-1 NP register block: 50 u32 words, carried as DMA target 7 at
// address 0. Word index constants precede their fields; fields hold only offset and width.
// The REG*, FNP*, CNP* and HRC_* names are exported for the CNP, FNP and HRC formatters.
//
// Bits whose meaning belongs to the NP hardware and which the writers only set to a fixed
// value are named by their bits (REG1_BIT4).

#include <cstddef>
#include <cstdint>
#include <utility>

#include "program/register_field.h"

namespace ornix::v1 {

inline constexpr std::size_t kNpRegisterWords = 50;

// Non-zero words of a fresh block (word, value).
inline constexpr std::pair<std::size_t, uint32_t> kNpRegisterDefaults[] = {
    {6, 0x04040000},
    {12, 0x52000000},
    {13, 0x00000010},
    {37, 0xFF000000},
};

// Word 1: NP mode.
inline constexpr std::size_t kWordNpMode = 1;
inline constexpr RegDetail REG1_BIT4{4, 1};  // set for an FNP, clear for a CNP
inline constexpr RegDetail REG1_BIT5{5, 1};
inline constexpr RegDetail REG1_BIT6{6, 1};
inline constexpr RegDetail REG2_NP2NP_CFG{20, 2};
inline constexpr RegDetail REG1_SINGLE_BUFFER{22, 1};  // input memory as one buffer (0: dual)
inline constexpr RegDetail REG2_CNP4FNP_NUM{24, 2};

// Word 2: input control.
inline constexpr std::size_t kWordInputControl = 2;
inline constexpr RegDetail REG2_IB_SPIKES{7, 1};

// Word 3: formats of the layer's values.
inline constexpr std::size_t kWordFormats = 3;
inline constexpr RegDetail REG3_INPUT_BITS{0, 2};    // input bits / 2
inline constexpr RegDetail REG3_WEIGHTS_BITS{4, 2};  // FNP: weight bits - 2
inline constexpr RegDetail REG3_MULTIBIT_WEIGHTS{7, 1};  // FNP: weights of 2 bits or more
inline constexpr RegDetail REG3_ACT_BITS{12, 2};     // activation bits / 2
inline constexpr RegDetail REG3_ACTIVATION{15, 1};
inline constexpr RegDetail REG3_NP_NUM{16, 8};       // NPs of the layer
inline constexpr RegDetail REG3_LAYER_ID{24, 8};     // the mapping's layer tag

// Words 4 and 14: input SRAM size in 32-bit words (word 14 holds a copy, or the FNP's input
// packet size).
inline constexpr std::size_t kWordInputSize = 4;
inline constexpr std::size_t kWordInputSizeCopy = 14;
inline constexpr RegDetail REG4_INPUT_SIZE{0, 18};

// Words 10 and 11: the input window.
inline constexpr std::size_t kWordWindowSize = 10;
inline constexpr RegDetail REG10_I_SIZE_CUT{0, 11};
inline constexpr RegDetail REG10_J_SIZE_CUT{16, 11};
inline constexpr std::size_t kWordWindowContainer = 11;
inline constexpr RegDetail REG11_ICONT_SIZE{0, 8};
inline constexpr RegDetail REG11_CH_SIZE{12, 18};

// Word 12: FNP weight block size, in units of 256 words (reset value 0x52).
inline constexpr std::size_t kWordFnpBlockSize = 12;
inline constexpr RegDetail REG12_FNP_BLOCK_UNITS{24, 8};
inline constexpr uint32_t kFnpBlockUnitWords = 256;

// Word 14 on an FNP (kWordInputSizeCopy).
inline constexpr RegDetail FNP1_FPKT_WSIZE{0, 18};
inline constexpr RegDetail REG14_BIT31{31, 1};

// Word 15: FNP neurons.
inline constexpr std::size_t kWordFnpUnits = 15;
inline constexpr RegDetail REG15_UNITS{0, 17};

// Word 16: FNP output.
inline constexpr std::size_t kWordFnpOutput = 16;
inline constexpr RegDetail REG16_BITS0_17{0, 18};
inline constexpr RegDetail REG16_BIT28{28, 1};
inline constexpr RegDetail REG16_ACTIVATION{29, 1};

// Word 17: FNP3 weight blocks.
inline constexpr std::size_t kWordFnpWeightBlocks = 17;
inline constexpr RegDetail FNP4_W_SIZE_LAST{0, 16};
inline constexpr RegDetail FNP4_W_BLK_COUNT{20, 4};

// Word 20: CNP kernel.
inline constexpr RegDetail CNP1_CONV_STRD{8, 1};
inline constexpr RegDetail CNP1_KERNEL_TYPE{28, 3};

// Word 24: CNP output-buffer origin of the split.
inline constexpr RegDetail CNP4_OB_I_ORIG{0, 12};
inline constexpr RegDetail CNP4_OB_J_ORIG{16, 12};

// HRC SRAM select word.
inline constexpr RegDetail HRC_SRAM_SELECT_R{0, 1};
inline constexpr RegDetail HRC_SRAM_SELECT_G{1, 1};
inline constexpr RegDetail HRC_SRAM_SELECT_B{2, 1};
inline constexpr RegDetail HRC_SRAM_SELECT_TH_STP{31, 1};

// Word 32: partial-reconfiguration control.
inline constexpr std::size_t kWordPrControl = 32;
inline constexpr RegDetail REG32_BIT0{0, 1};
inline constexpr RegDetail REG32_FNP{1, 1};
inline constexpr RegDetail REG32_BIT2{2, 1};
inline constexpr RegDetail REG32_INPUT_CODE{4, 2};   // input bits / 2
inline constexpr RegDetail REG32_RECONFIG_ID{24, 8};  // the mapping's reconfiguration tag
// Words 33 to 35: the window of the partial reconfiguration.
inline constexpr std::size_t kWordPrOrigin = 33;
inline constexpr RegDetail REG33_ORIGIN_Y{0, 12};
inline constexpr RegDetail REG33_ORIGIN_X{16, 12};
inline constexpr std::size_t kWordPrSize = 34;
inline constexpr RegDetail REG34_HEIGHT{0, 11};
inline constexpr RegDetail REG34_WIDTH{16, 11};
inline constexpr std::size_t kWordPrContainer = 35;
inline constexpr RegDetail REG35_CNP_ROW_WORDS{0, 14};  // (container x channels + 3) / 4
inline constexpr RegDetail REG35_CNP_CONTAINER{16, 9};  // bytes of one channel row
inline constexpr RegDetail REG35_FNP_PLANE{0, 18};      // width x height
// An FNP without word 1 bit 4 needs at least this input size.
inline constexpr uint32_t kPrMinFnpInputSize = 0x2501;

// Word 36: learning.
inline constexpr std::size_t kWordLearning = 36;
inline constexpr RegDetail REG36_LEARN_WINNERS{0, 20};
inline constexpr RegDetail REG36_LEARN_EN{28, 1};
inline constexpr std::size_t kWordLearnMinPlasticity = 37;
inline constexpr RegDetail REG37_MIN_PLASTICITY{0, 16};
inline constexpr std::size_t kWordLearnPlasticityDecay = 38;
inline constexpr RegDetail REG38_PLASTICITY_DECAY{0, 16};
// Words 39 and 41: the two CNP learning values.
inline constexpr std::size_t kWordCnpLearnFirst = 39;
inline constexpr RegDetail REG39_CNP_LEARN_FIRST{0, 16};
inline constexpr std::size_t kWordCnpLearnSecond = 41;
inline constexpr RegDetail REG41_CNP_LEARN_SECOND{0, 12};

// Word 44: mesh routing mode.
inline constexpr std::size_t kWordRoutingMode = 44;
inline constexpr RegDetail REG44_SECOND_P2P{0, 1};
inline constexpr RegDetail REG44_BIT1{1, 1};
inline constexpr RegDetail REG44_ROUTE_FLAG{2, 1};
inline constexpr RegDetail REG44_BITS16_23{16, 8};  // fixed 0x08
inline constexpr RegDetail REG44_BITS24_31{24, 8};  // 0x06 under output tag 0xFF, else 0xFF
inline constexpr uint32_t kReg44Bits16To23 = 0x08;
inline constexpr uint32_t kReg44TopNoOutput = 0x06;
inline constexpr uint32_t kReg44TopOutput = 0xFF;
inline constexpr uint8_t kNoOutputTag = 0xFF;

// Words 45 (second output list) and 46 (first output list). Point to point: row and column of
// the one component and its one-hot id; range mode: the list's smallest and largest column.
inline constexpr std::size_t kWordSecondTargets = 45;
inline constexpr std::size_t kWordTargets = 46;
inline constexpr RegDetail REG45_LOW{0, 8};
inline constexpr RegDetail REG45_HIGH{8, 8};
inline constexpr RegDetail REG45_ID{20, 4};       // one-hot ident id, point to point only
inline constexpr RegDetail REG45_OUTPUT_TAG{24, 8};  // word 45 only
inline constexpr RegDetail REG46_BITS30_31{30, 2};   // word 46 only, cleared

// Word 47: columns spanned by the second output list and the layer's NPs.
inline constexpr std::size_t kWordColumnRange = 47;
inline constexpr RegDetail REG47_COL_MIN{0, 8};
inline constexpr RegDetail REG47_COL_MAX{8, 8};
inline constexpr RegDetail REG47_BITS16_31{16, 16};

// Word 49: the mesh configuration DMA.
inline constexpr std::size_t kWordConfigDma = 49;
inline constexpr RegDetail REG49_CFG_DMA_ROW{0, 8};
inline constexpr RegDetail REG49_CFG_DMA_COL{8, 8};
inline constexpr RegDetail REG49_CFG_DMA_ID{16, 4};  // one-hot ident id

}  // namespace ornix::v1
