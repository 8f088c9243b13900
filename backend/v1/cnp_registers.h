#pragma once

// Fields of the generation-1 NP register block that only a CNP writes (the shared ones are in
// np_registers.h). Word index constants precede their fields, lowest bit first.

#include <cstddef>
#include <cstdint>

#include "program/register_field.h"

namespace ornix::v1 {

// Word 1: NP mode (with REG1_BIT4 to REG1_BIT6, REG2_NP2NP_CFG and REG1_SINGLE_BUFFER).
inline constexpr RegDetail REG1_BIT7{7, 1};

// Word 3: weight formats (with the REG3_* fields of np_registers.h).
inline constexpr RegDetail CNP3_SEPARABLE{2, 1};
inline constexpr RegDetail CNP3_4BIT_WEIGHTS{3, 1};      // standard layer
inline constexpr RegDetail CNP3_SEP_WEIGHTS_A{4, 2};     // separable: weights bits / 2
inline constexpr RegDetail CNP3_SEP_WEIGHTS_B{8, 2};     // separable: weights bits / 2

// Word 4 (kWordInputSize): REG4_INPUT_SIZE and a set top bit.
inline constexpr RegDetail REG4_BIT31{31, 1};

// Word 8: the NP's window and where its padded window starts relative to it.
inline constexpr std::size_t kWordCnpWindow = 8;
inline constexpr RegDetail CNP8_HEIGHT{0, 11};
inline constexpr int kCnpOffsetBits = 4;  // offsets are 4-bit two's complement
inline constexpr RegDetail CNP8_ROW_OFFSET{12, 4};
inline constexpr RegDetail CNP8_WIDTH{16, 11};
inline constexpr RegDetail CNP8_COL_OFFSET{28, 4};

// Word 9: origin of the padded window and whether it starts between stride phases.
inline constexpr std::size_t kWordCnpPaddedOrigin = 9;
inline constexpr RegDetail CNP9_ROW_ORIGIN{0, 12};
inline constexpr RegDetail CNP9_ROW_PHASE{12, 1};
inline constexpr RegDetail CNP9_COL_ORIGIN{16, 12};
inline constexpr RegDetail CNP9_COL_PHASE{28, 1};

// Word 11 (kWordWindowContainer): REG11_ICONT_SIZE and the weight quads per input channel.
inline constexpr RegDetail CNP11_CHANNEL_QUADS{12, 10};

// Words 20 to 22: kernel and filter counts.
inline constexpr std::size_t kWordCnpKernel = 20;
inline constexpr RegDetail CNP20_PW_SLOTS{0, 7};       // separable: 50-bit words per pointwise channel
inline constexpr RegDetail CNP20_FILTERS_1X1{16, 11};  // standard 1x1 kernel
inline constexpr std::size_t kWordCnpFilters = 21;
inline constexpr RegDetail CNP21_FILTERS_MULTIBIT{0, 11};  // standard kernel above 1x1, 2- or 4-bit weights
inline constexpr RegDetail CNP21_FILTERS_1BIT{16, 11};     // standard kernel above 1x1, 1-bit weights
inline constexpr std::size_t kWordCnpWeightLayout = 22;
inline constexpr RegDetail CNP22_BITS0_10{0, 11};
inline constexpr RegDetail CNP22_DW_HALF_WORDS{16, 14};  // separable: depthwise words / 2

// Word 24: CNP4_OB_I_ORIG and CNP4_OB_J_ORIG (np_registers.h).
inline constexpr std::size_t kWordCnpOutputOrigin = 24;

// Word 25: output counts of the split.
inline constexpr std::size_t kWordCnpOutputCount = 25;
inline constexpr RegDetail CNP25_OUT_ROWS{0, 10};
inline constexpr RegDetail CNP25_OUT_COLS{16, 8};

// Word 26: the NP's filters.
inline constexpr std::size_t kWordCnpNeurons = 26;
inline constexpr RegDetail CNP26_FIRST_FILTER{0, 11};
inline constexpr RegDetail CNP26_FILTERS{16, 11};

// Word 27: pooling; the edge bits mark an NP window on an input edge that the pooling pads.
inline constexpr std::size_t kWordCnpPooling = 27;
inline constexpr RegDetail CNP27_POOL_WIDTH{0, 3};
inline constexpr RegDetail CNP27_POOL_STRIDE{4, 3};
inline constexpr RegDetail CNP27_POOL_FLAG{8, 1};
inline constexpr RegDetail CNP27_EDGE_RIGHT{12, 1};
inline constexpr RegDetail CNP27_EDGE_LEFT{13, 1};
inline constexpr RegDetail CNP27_EDGE_BOTTOM{14, 1};
inline constexpr RegDetail CNP27_EDGE_TOP{15, 1};

// Word 28: the input container.
inline constexpr std::size_t kWordCnpContainer = 28;
inline constexpr RegDetail CNP28_ROW_WORDS{0, 14};  // (container x channels + 3) / 4
inline constexpr RegDetail CNP28_CONTAINER{16, 9};  // bytes of one channel row

// Word 29: filter groups of 8.
inline constexpr std::size_t kWordCnpFilterGroups = 29;
inline constexpr RegDetail REG29_BIT0{0, 1};
inline constexpr RegDetail CNP29_FILTER_GROUPS{16, 8};

}  // namespace ornix::v1
