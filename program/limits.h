#pragma once

#include <cstdint>

namespace ornix::program {

// Words a DMA track may hold, headers and padding included.
inline constexpr uint32_t kMaxTrackWords = 65535;

}  // namespace ornix::program
