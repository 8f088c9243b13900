#pragma once

#include <cstdint>

namespace ornix {

// Who runs a sequence of layers.
enum class BackendType : uint32_t { Software = 0, Hardware = 1, Hybrid = 2 };

}  // namespace ornix
