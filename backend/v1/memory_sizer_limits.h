#pragma once

// The constants of the generation-1 memory figures; the weight memory's slots and word width
// are weight_format_limits.h's.

#include <cstdint>

namespace ornix::v1 {

inline constexpr uint32_t kWordBytes = 4;  // 32-bit words

}  // namespace ornix::v1
