#pragma once

// The generation-1 HRC: eight configuration words written at kHrcConfigAddress, SRAM loads
// (select word at kHrcSramSelectAddress, data as target 9 at kHrcSramDataAddress) and the start
// pulse at kHrcStartAddress, every write addressed to the all-zero ident. Fields lowest bit
// first; the SRAM select fields (HRC_SRAM_SELECT_*) live with the NP fields in np_registers.h.

#include <cstddef>
#include <cstdint>

#include "program/register_field.h"

namespace ornix::v1 {

inline constexpr std::size_t kHrcConfigWords = 8;
inline constexpr uint16_t kHrcStartAddress = 0;
inline constexpr uint32_t kHrcStart = 1;  // written then cleared at kHrcStartAddress
inline constexpr uint16_t kHrcConfigAddress = 8;
inline constexpr uint16_t kHrcSramSelectAddress = 32;
inline constexpr uint16_t kHrcSramDataAddress = 40;

// Word 0: the layer.
inline constexpr std::size_t kHrcWordLayer = 0;
inline constexpr RegDetail HRC0_SRAM_LOADING{0, 1};  // set while the SRAMs are loaded
inline constexpr RegDetail HRC0_KERNEL{4, 2};        // kHrcKernel5 or kHrcKernel7, else 0
inline constexpr RegDetail HRC0_ACT_BITS{8, 2};      // act_bits / 2
inline constexpr RegDetail HRC0_NOT_RGB{12, 1};      // input channels other than 3
inline constexpr RegDetail HRC0_VALID{13, 1};        // no padding
inline constexpr RegDetail HRC0_MAX_POOL_Y2{16, 1};  // max pooling 2 rows high
inline constexpr RegDetail HRC0_MAX_POOL_X2{17, 1};  // max pooling 2 columns wide
inline constexpr RegDetail HRC0_VALID_Y{20, 1};      // no padding
inline constexpr RegDetail HRC0_VALID_X{21, 1};      // no padding
inline constexpr uint32_t kHrcKernel5 = 1;
inline constexpr uint32_t kHrcKernel7 = 2;

// Word 1: convolution strides.
inline constexpr std::size_t kHrcWordStride = 1;
inline constexpr RegDetail HRC1_STRIDE_Y{0, 3};
inline constexpr RegDetail HRC1_STRIDE_X{4, 3};

// Word 2: the padding value, once per colour.
inline constexpr std::size_t kHrcWordPaddingValue = 2;
inline constexpr RegDetail HRC2_PADDING_VALUE_R{0, 8};
inline constexpr RegDetail HRC2_PADDING_VALUE_G{8, 8};
inline constexpr RegDetail HRC2_PADDING_VALUE_B{16, 8};

// Word 3: the padding amounts of the built layer (its built record, words 4 to 7).
inline constexpr std::size_t kHrcWordPadding = 3;
inline constexpr RegDetail HRC3_PAD_LEFT{0, 3};    // built[6]
inline constexpr RegDetail HRC3_PAD_RIGHT{4, 3};   // built[7]
inline constexpr RegDetail HRC3_PAD_TOP{8, 3};     // built[4]
inline constexpr RegDetail HRC3_PAD_BOTTOM{12, 3};  // built[5]

// Word 4: filters.
inline constexpr std::size_t kHrcWordFilters = 4;
inline constexpr RegDetail HRC4_FILTERS_MINUS_1{16, 9};

// Threshold/step table: two words per filter, the threshold as 24-bit two's complement then
// the step (sixteenths of an act_step) as given.
inline constexpr int kHrcThresholdBits = 24;
inline constexpr uint32_t kHrcTableWordsPerFilter = 2;

// SRAM sizes that need the extra-large header are rounded up to this many words.
inline constexpr uint32_t kHrcXlRoundWords = 16;

}  // namespace ornix::v1
