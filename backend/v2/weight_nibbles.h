#pragma once

// Weights packed as the low nibbles of their signed 8-bit elements, several read at once.

#include <bit>
#include <cstdint>
#include <cstring>

namespace ornix::v2 {

// The low nibbles of eight consecutive weights, the first in bits 0-3.
inline uint32_t eight_low_nibbles(const int8_t* weights) {
  static_assert(std::endian::native == std::endian::little, "weights are gathered as a little-endian word");
  uint64_t x;
  std::memcpy(&x, weights, sizeof(x));
  x &= 0x0F0F0F0F0F0F0F0Full;
  x = (x | x >> 4) & 0x00FF00FF00FF00FFull;
  x = (x | x >> 8) & 0x0000FFFF0000FFFFull;
  return static_cast<uint32_t>(x | x >> 16);
}

}  // namespace ornix::v2
