#pragma once

// Fields of the lookup-table payload words, lowest bit first. Values are 14-bit two's-complement
// codes.

#include "program/register_field.h"

namespace ornix::v2 {

// CNP table: two consecutive values per word.
inline constexpr RegDetail CNP_LUT_EVEN{0, 14};  // value 2j
inline constexpr RegDetail CNP_LUT_ODD{16, 14};  // value 2j + 1

// Input NP (HRC) table: one value per word.
inline constexpr RegDetail HRC_LUT_VALUE{0, 14};

}  // namespace ornix::v2
