#pragma once

#include <cstdint>

namespace ornix {

// The mesh's shared NP memories, each shared by two NPs. Bytes.
struct SramSize {
  uint32_t input_bytes = 0;   // input packet SRAM
  uint32_t weight_bytes = 0;  // filter SRAM

  bool operator==(const SramSize&) const = default;
};

inline constexpr SramSize SramSize_v1{43008, 44800};
inline constexpr SramSize SramSize_v2{65536, 51200};

}  // namespace ornix
