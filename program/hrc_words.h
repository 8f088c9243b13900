#pragma once

// Fields of the packed words the input NP (HRC) is loaded with, word by word, lowest bit first.

#include "program/register_field.h"

namespace ornix::program {

// Activation parameters, two words per output channel.
inline constexpr RegDetail HRC_ACT0_OUT_SHIFT{0, 6};     // signed
inline constexpr RegDetail HRC_ACT0_OUT_SCALE{6, 8};
inline constexpr RegDetail HRC_ACT0_MAX_SHIFT{14, 5};
inline constexpr RegDetail HRC_ACT0_MAX_VALUE_LO{19, 1};  // bit 0 of the max value
inline constexpr RegDetail HRC_ACT1_MAX_VALUE_HI{0, 7};   // bits 1-7 of the max value
inline constexpr RegDetail HRC_ACT1_BIAS_SHIFT{7, 5};
inline constexpr RegDetail HRC_ACT1_BIAS{12, 8};          // signed

// Lookup-table activation parameters, two words per output channel.
inline constexpr RegDetail HRC_LUT0_OUT_SCALE{0, 8};
inline constexpr RegDetail HRC_LUT0_BIAS{8, 8};           // signed
inline constexpr RegDetail HRC_LUT0_BIAS_SHIFT_LO{16, 4}; // bits 0-3 of the bias shift
inline constexpr RegDetail HRC_LUT1_BIAS_SHIFT_HI{0, 1};  // bit 4 of the bias shift
inline constexpr RegDetail HRC_LUT1_OUT_SHIFT{1, 6};      // signed
inline constexpr RegDetail HRC_LUT1_ACT_SHIFT{7, 6};      // signed
inline constexpr RegDetail HRC_LUT1_ACT_SCALE{13, 8};

// Tokens, one word per token.
inline constexpr RegDetail HRC_TOKEN{0, 8};               // signed
inline constexpr RegDetail HRC_TOKEN_PARAM{8, 5};

// Position-embedding parameters, one word per element of the first tensor.
inline constexpr RegDetail HRC_POS_PARAM_FIRST{0, 5};
inline constexpr RegDetail HRC_POS_PARAM_THIRD{8, 8};
inline constexpr RegDetail HRC_POS_PARAM_SECOND{16, 6};   // signed

}  // namespace ornix::program
