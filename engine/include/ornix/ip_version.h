#pragma once

#include <cstdint>

namespace ornix {

// The processor IP generation.
enum class IpVersion : uint32_t { none = 0, v1 = 1, v2 = 2 };

}  // namespace ornix
