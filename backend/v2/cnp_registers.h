#pragma once

// Fields of the CNP and TNP-B register block (np_register_block.h), word by word, lowest bit
// first, and of the per-channel variable word pair. Each word's index constant precedes its
// fields; the fields hold only offset and width. A few names number their word differently
// from the block (REG4_NP_NUM lives in word 3, REG5_CPKSRAM_SIZE in word 4, CNP2/CNP3/CNP8 in
// words 21/22/28): those are the fields' established names, kept as they are.
//
// Fields whose meaning belongs to the NP hardware and which the formatters only clear or set
// to a fixed value are named by their bits (REG1_BIT4).

#include <cstddef>

#include "program/register_field.h"

namespace ornix::v2 {

// Word 1: layer control flags.
inline constexpr std::size_t kWordControl = 1;
inline constexpr RegDetail REG1_BIT4{4, 1};
inline constexpr RegDetail REG1_BIT7{7, 1};
inline constexpr RegDetail REG1_LUT_ACTIVATION{20, 1};
inline constexpr RegDetail REG1_SINGLE_BUFFER{22, 1};
inline constexpr RegDetail REG1_COMMON{29, 1};
inline constexpr RegDetail REG1_DUAL_OUTPUT{31, 1};  // a dual-output skip-DMA store is in use

// Word 2: input control.
inline constexpr std::size_t kWordInputControl = 2;
inline constexpr RegDetail REG2_NEXT_MAX_POOL{8, 1};  // the next layer max-pools without activation

// Word 3: data widths and the number of NPs of the layer.
inline constexpr std::size_t kWordFormats = 3;
inline constexpr RegDetail REG3_INPUT_CODE{0, 2};     // 2: input below 8 bits, 3: otherwise
inline constexpr RegDetail REG3_BIT2{2, 1};           // set by the depthwise forms (CNP and TNP-B)
inline constexpr RegDetail REG3_WEIGHTS_4BIT{3, 1};
inline constexpr RegDetail REG3_WEIGHTS_CODE{4, 2};   // 3: 8-bit weights, 2: otherwise
inline constexpr RegDetail REG3_WEIGHTS_8BIT{7, 1};
inline constexpr RegDetail REG4_IB_CH_GRP_EN{10, 1};  // the NP holds a group of the channels
inline constexpr RegDetail REG3_OUTPUT_CODE{12, 2};   // 2: output below 8 bits, 3: otherwise
inline constexpr RegDetail REG3_UNRECTIFIED{14, 1};   // not ReLU, output of at most 8 bits
inline constexpr RegDetail REG3_RELU{15, 1};
inline constexpr RegDetail REG4_NP_NUM{16, 8};        // NPs of the layer

// Word 4: input container.
inline constexpr std::size_t kWordInputContainer = 4;
inline constexpr RegDetail REG5_CPKSRAM_SIZE{0, 16};
inline constexpr RegDetail REG4_BITS29_30{29, 2};
inline constexpr RegDetail REG4_BIT31{31, 1};

// Word 8: the NP's input window, rows (I) and columns (J).
inline constexpr std::size_t kWordWindowSize = 8;
inline constexpr RegDetail REG8_II_SIZE{0, 11};
inline constexpr RegDetail REG8_II_OFFSET{12, 3};  // padded row origin - row origin, signed
inline constexpr RegDetail REG8_JJ_SIZE{16, 11};
inline constexpr RegDetail REG8_JJ_OFFSET{28, 3};  // padded column origin - column origin, signed

// Word 9: origin of the padded window and the stride phases.
inline constexpr std::size_t kWordWindowOrigin = 9;
inline constexpr RegDetail REG9_I_ORIG_CUT{0, 12};
inline constexpr RegDetail REG9_I_CONV_STRD_OFFSET{12, 1};
inline constexpr RegDetail REG9_J_ORIG_CUT{16, 12};
inline constexpr RegDetail REG9_J_CONV_STRD_OFFSET{28, 1};

// Word 10: size of the padded window.
inline constexpr std::size_t kWordPaddedSize = 10;
inline constexpr RegDetail REG10_I_PADDED_SIZE{0, 11};
inline constexpr RegDetail REG10_J_PADDED_SIZE{16, 11};

// Word 11: input and channel containers.
inline constexpr std::size_t kWordContainers = 11;
inline constexpr RegDetail REG11_ICONT_SIZE{0, 8};
inline constexpr RegDetail REG11_CHCONT_SIZE{12, 18};  // 100-bit weight words per channel container

// Word 20: kernel.
inline constexpr std::size_t kWordKernel = 20;
inline constexpr RegDetail REG20_STRIDE2{8, 1};
inline constexpr RegDetail REG20_TRANSPOSED{9, 1};
inline constexpr RegDetail REG20_BIT10{10, 1};
inline constexpr RegDetail REG20_BITS16_26{16, 11};
inline constexpr RegDetail REG20_KERNEL_SIZE{28, 3};

// Word 21: transposed filter total.
inline constexpr std::size_t kWordFilterTotal = 21;
inline constexpr RegDetail CNP2_TF_TOTAL{0, 11};

// Word 22: the NP's channel group (depthwise layers).
inline constexpr std::size_t kWordChannelGroup = 22;
inline constexpr RegDetail CNP3_CH_ORIG_CUT{0, 12};
inline constexpr RegDetail CNP3_CH_SIZE_CUT{16, 10};

// Word 24: origin of the NP's pooled output window.
inline constexpr std::size_t kWordOutputOrigin = 24;
inline constexpr RegDetail REG24_OUT_I_ORIG{0, 12};
inline constexpr RegDetail REG24_OUT_J_ORIG{16, 12};

// Word 25: size of the NP's pooled output window.
inline constexpr std::size_t kWordOutputSize = 25;
inline constexpr RegDetail REG25_OUT_I_SIZE{0, 10};
inline constexpr RegDetail REG25_OUT_J_SIZE{16, 8};

// Word 26: the NP's filters (neurons).
inline constexpr std::size_t kWordNeurons = 26;
inline constexpr RegDetail REG26_FIRST_NEURON{0, 11};
inline constexpr RegDetail REG26_NEURONS{16, 10};

// Word 27: pooling.
inline constexpr std::size_t kWordPooling = 27;
inline constexpr RegDetail REG27_POOL_SIZE{0, 3};
inline constexpr RegDetail REG27_POOL_VALUE{4, 3};
inline constexpr RegDetail REG27_POOL_FLAG{8, 1};
inline constexpr RegDetail REG27_BIT9{9, 1};
inline constexpr RegDetail REG27_EDGE_RIGHT{12, 1};   // pooling padding right of the last column
inline constexpr RegDetail REG27_EDGE_LEFT{13, 1};    // pooling padding left of column 0
inline constexpr RegDetail REG27_EDGE_BOTTOM{14, 1};  // pooling padding below the last row
inline constexpr RegDetail REG27_EDGE_TOP{15, 1};     // pooling padding above row 0

// Word 28: container sizes (transposed depthwise layers).
inline constexpr std::size_t kWordContainerSizes = 28;
inline constexpr RegDetail CNP8_CPK_CHCONT_SIZE{16, 16};

// Word 47: mesh column ranges; bits 16-31 the columns of the NPs and the dual-output store.
inline constexpr std::size_t kWordColumnRange = 47;
inline constexpr RegDetail REG47_DUAL_COL_MIN{16, 8};
inline constexpr RegDetail REG47_DUAL_COL_MAX{24, 8};

// Word 48: the dual-output skip-DMA store.
inline constexpr std::size_t kWordDualStore = 48;
inline constexpr RegDetail REG48_DUAL_ROW{0, 8};
inline constexpr RegDetail REG48_DUAL_COL{8, 8};
inline constexpr RegDetail REG48_DUAL_ENABLE{16, 1};
inline constexpr RegDetail REG48_DUAL_ID{20, 4};      // one-hot ident id
inline constexpr RegDetail REG48_DUAL_STREAM{24, 8};  // stream id of the dual-output store

// Word 52: merge-layer input.
inline constexpr std::size_t kWordMerge = 52;
inline constexpr RegDetail REG52_BITS0_1{0, 2};
inline constexpr RegDetail REG52_MERGE_ENABLE{2, 1};
inline constexpr RegDetail REG52_BIT3{3, 1};
inline constexpr RegDetail REG52_BIT4{4, 1};
inline constexpr RegDetail REG52_NOT_FIRST{7, 1};     // set also when the layer has no merge input
inline constexpr RegDetail REG52_LOAD_CONSUMER{16, 8};

// Word 53: the skip-DMA load.
inline constexpr std::size_t kWordSkipDmaLoad = 53;
inline constexpr RegDetail REG53_LOAD_ENABLE{0, 1};
inline constexpr RegDetail REG53_BITS1_7{1, 7};
inline constexpr RegDetail REG53_LOAD_COL{8, 8};
inline constexpr RegDetail REG53_BIT19{19, 1};
inline constexpr RegDetail REG53_LOAD_ID{20, 4};      // one-hot ident id
inline constexpr RegDetail REG53_BIT31{31, 1};

// Per-channel variables: a pair of words per output channel, in their own DMA block.
// First word: [31:27] max shift or activation shift bits 0-4 | [26:21] out shift |
// [20:16] bias shift | [15:8] bias | [7:0] out scale.
inline constexpr RegDetail VARS_W1_OUT_SCALE{0, 8};
inline constexpr RegDetail VARS_W1_BIAS{8, 8};          // signed
inline constexpr RegDetail VARS_W1_BIAS_SHIFT{16, 5};
inline constexpr RegDetail VARS_W1_OUT_SHIFT{21, 6};    // signed
inline constexpr RegDetail VARS_W1_MAX_SHIFT{27, 5};
inline constexpr RegDetail VARS_W1_ACT_SHIFT_LO{27, 5};  // bits 0-4 of the activation shift
// Second word: [8:1] activation scale, or [7:0] max value, | [0] activation shift bit 5.
inline constexpr RegDetail VARS_W2_ACT_SHIFT_HI{0, 1};  // bit 5 of the activation shift
inline constexpr RegDetail VARS_W2_MAX_VALUE{0, 8};
inline constexpr RegDetail VARS_W2_ACT_SCALE{1, 8};

}  // namespace ornix::v2
