#pragma once

#include <cstddef>
#include <cstdint>

namespace ornix::program {

// Words a DMA track may hold, headers and padding included.
inline constexpr uint32_t kMaxTrackWords = 65535;

// Settings of both flatbuffers builders of the device program; they fix its bytes.
inline constexpr size_t kBuilderInitialSize = 1024;  // bytes
inline constexpr size_t kBuilderAlignment = 8;       // bytes

// Words of the dummy descriptor header (one DMA configuration header).
inline constexpr uint32_t kDummyHeaderWords = 2;

}  // namespace ornix::program
