#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace ornix::v2 {

// Words of the register block that configures one generation-2 NP (CNP, FNP or TNP-B):
// word 0 first, bit 0 the least significant bit of a word.
inline constexpr std::size_t kNpRegisterWords = 64;

// One NP's register block, written in place. The caller owns the 64 words (a std::array, or a
// std::vector of exactly 64 words wrapped as NpRegisterBlock{block}) and keeps them alive for
// the call.
using NpRegisterBlock = std::span<uint32_t, kNpRegisterWords>;

}  // namespace ornix::v2
