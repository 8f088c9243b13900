#pragma once

// The constants of the generation-1 memory figures.

#include <cstdint>

namespace ornix::v1 {

inline constexpr uint32_t kWordBytes = 4;              // 32-bit words
inline constexpr uint32_t kCnpWeightWordBits = 50;     // one CNP weight memory word
inline constexpr uint32_t kTransferWordsPerWeightWord = 2;  // u32 words of one weight word's slot

}  // namespace ornix::v1
