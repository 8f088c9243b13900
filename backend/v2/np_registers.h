#pragma once

// Fields of the NP register block (np_register_block.h) shared by every generation-2 NP (CNP,
// FNP, TNP-B): the block's defaults, the mesh routing words, the partial-reconfiguration view
// of an alternative layer, the input-buffer spike bit and the mesh configuration DMA. Word
// index constants precede their fields; fields hold only offset and width. Words 2, 3, 47 and
// 52 also carry CNP fields (cnp_registers.h), whose word constants are reused here.
//
// Bits whose meaning belongs to the NP hardware and which the writers only set to a fixed
// value are named by their bits (REG44_BIT3).

#include <cstddef>
#include <cstdint>
#include <utility>

#include "backend/v2/cnp_registers.h"
#include "program/register_field.h"

namespace ornix::v2 {

// Non-zero words of a fresh block (word, value), besides words 3 and 56 below.
inline constexpr std::pair<std::size_t, uint32_t> kNpRegisterDefaults[] = {
    {1, 0x20},        {2, 0x8},  {5, 0x00130100}, {6, 0x08040000},
    {12, 0x52000000}, {13, 0x10}, {37, 0xFF000000}, {57, 0x40},
};

// Word 2 (kWordInputControl): input-buffer spikes.
inline constexpr RegDetail REG2_IB_SPIKES{7, 1};

// Word 3 (kWordFormats): the layer's byte id; 0xFE in a block that only parks an unused NP.
inline constexpr RegDetail REG3_LAYER_ID{24, 8};
inline constexpr uint32_t kRegistersOnlyLayerId = 0xFE;

// Word 32: partial-reconfiguration control of the alternative layer.
inline constexpr std::size_t kWordPrControl = 32;
inline constexpr RegDetail REG32_BIT0{0, 1};
inline constexpr RegDetail REG32_BIT2{2, 1};
inline constexpr RegDetail REG32_MERGE{3, 1};         // the alternative layer follows a merge layer
inline constexpr RegDetail REG32_INPUT_CODE{4, 2};    // log2 of the input bit width (1, 2, 4, 8)
inline constexpr RegDetail REG32_MERGE_NOT_ADD{6, 1};  // ... and that merge layer is not an Add
inline constexpr RegDetail REG32_RECONFIG_ID{24, 8};  // the alternative layer's input id

// Words 32 to 42 as the alternative layer sees the NP. The word each field goes to is the
// kWordPr* constant named beside it.
inline constexpr RegDetail PR1_FNP_MODE{1, 1};       // kWordPrControl
inline constexpr RegDetail PR1_IB_CH_GRP_EN{10, 1};  // kWordPrControl
inline constexpr RegDetail PR1_SP_MAXPOOLING{11, 1};  // kWordPrControl
inline constexpr std::size_t kWordPrOrigin = 33;
inline constexpr RegDetail PR1_I_ORIG_CUT{0, 12};
inline constexpr RegDetail PR1_J_ORIG_CUT{16, 12};
inline constexpr std::size_t kWordPrSize = 34;
inline constexpr RegDetail PR1_I_SIZE_CUT{0, 11};
inline constexpr RegDetail PR1_J_SIZE_CUT{16, 11};
inline constexpr std::size_t kWordPrContainer = 35;
inline constexpr RegDetail PR1_CH_SIZE{0, 18};
inline constexpr RegDetail PR1_SEPARABLE{15, 1};
inline constexpr RegDetail REG35_PLANE_WORDS{0, 14};  // Q: 32-bit words of one channel plane (or padded row)
inline constexpr RegDetail REG35_ROW_BYTES{16, 16};   // R: bytes of one input row (separable: of the window)
inline constexpr std::size_t kWordPrPksram = 40;
inline constexpr RegDetail PR1_PKSRAM_SIZE{0, 16};
inline constexpr std::size_t kWordPrSources = 41;
inline constexpr RegDetail REG41_SRC_COL_MIN{0, 8};
inline constexpr RegDetail REG41_SRC_COL_MAX{8, 8};
inline constexpr RegDetail REG41_NP_NUM{24, 7};  // NP components of the alternative layer
inline constexpr RegDetail REG41_BIT31{31, 1};
inline constexpr std::size_t kWordPrChannelGroup = 42;
inline constexpr RegDetail PR1_CH_ORIG_CUT{0, 12};
inline constexpr RegDetail PR1_CH_SIZE_CUT{16, 10};

// Bits of an input-plane word count kept before it is multiplied by the rows (as in the CNP
// input container, REG5_CPKSRAM_SIZE).
inline constexpr uint32_t kPlaneWordsMask = (uint32_t{1} << 27) - 1;

// Word 44: mesh routing mode.
inline constexpr std::size_t kWordRoutingMode = 44;
inline constexpr RegDetail REG44_P2P_OUT{0, 1};
inline constexpr RegDetail REG44_BIT1{1, 1};
inline constexpr RegDetail REG44_PR_FLAG{2, 1};
inline constexpr RegDetail REG44_BIT3{3, 1};
inline constexpr RegDetail REG44_PR_ALT_FLAG{15, 1};  // pr_flag, written with the alternative layer's view
inline constexpr RegDetail REG44_BITS16_23{16, 8};    // fixed 0x08
inline constexpr RegDetail REG44_BITS24_31{24, 8};    // fixed 0xFF

// Word 45: where the output goes. Point to point: row and column of the one destination;
// otherwise the destinations' smallest and largest column.
inline constexpr std::size_t kWordDestinations = 45;
inline constexpr RegDetail REG45_DEST_LOW{0, 8};
inline constexpr RegDetail REG45_DEST_HIGH{8, 8};
inline constexpr RegDetail REG45_DEST_ID{20, 4};      // one-hot ident id, point to point only
inline constexpr RegDetail REG45_OUTPUT_ID{24, 8};    // routing value (one less towards a TNP-B)

// Word 46: where the input comes from, laid out as word 45.
inline constexpr std::size_t kWordSources = 46;
inline constexpr RegDetail REG46_SRC_LOW{0, 8};
inline constexpr RegDetail REG46_SRC_HIGH{8, 8};
inline constexpr RegDetail REG46_ALT{19, 1};          // an alternative layer shares the NP
inline constexpr RegDetail REG46_SRC_ID{20, 4};       // one-hot ident id, point to point only
inline constexpr RegDetail REG46_BIT31{31, 1};

// Word 47 (kWordColumnRange): columns spanned by the layer's NPs and its destinations.
inline constexpr RegDetail REG47_COL_MIN{0, 8};
inline constexpr RegDetail REG47_COL_MAX{8, 8};

// Word 49: the mesh configuration DMA.
inline constexpr std::size_t kWordConfigDma = 49;
inline constexpr RegDetail REG49_CFG_DMA_ROW{0, 8};
inline constexpr RegDetail REG49_CFG_DMA_COL{8, 8};
inline constexpr RegDetail REG49_CFG_DMA_ID{16, 4};  // one-hot ident id

// Word 52 (kWordMerge) of an alternative branch head: the bits of REG52_BIT4, REG52_LOAD_CONSUMER
// and above, taken by the alternative.
inline constexpr RegDetail REG52_ALT_SECOND{4, 1};     // the layer heads the second branch
inline constexpr RegDetail REG52_ALT_FIRST_ID{16, 8};  // the first branch head's layer id
inline constexpr RegDetail REG52_ALT_NP_NUM{24, 8};    // NP components of both branch heads

// Word 56: NP mode.
inline constexpr std::size_t kWordNpMode = 56;
inline constexpr RegDetail REG56_MERGE{3, 1};    // the layer follows an enabled merge layer
inline constexpr RegDetail REG56_BIT8{8, 1};     // set for ident ids above 1, as bit 24
inline constexpr RegDetail REG56_BIT23{23, 1};   // always set
inline constexpr RegDetail REG56_BIT24{24, 1};

// Ident ids from this one up set REG56_BIT8 and REG56_BIT24.
inline constexpr uint8_t kUpperNpId = 2;

}  // namespace ornix::v2
