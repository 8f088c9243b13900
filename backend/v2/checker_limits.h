#pragma once

// Limits applied by the generation-2 compatibility checker and its sequence rules.

#include <cstdint>

namespace ornix::v2 {

// Widest value, in bits, of each per-channel variable, set by the NP program field that holds it.
inline constexpr uint32_t kInputShiftMaxBits = 3;     // packed eight to a 24-bit word
inline constexpr uint32_t kMaxValueShiftMaxBits = 5;  // VARS_W1_MAX_SHIFT
inline constexpr uint32_t kOutputShiftMaxBits = 6;    // VARS_W1_OUT_SHIFT
inline constexpr uint32_t kBiasShiftMaxBits = 5;      // VARS_W1_BIAS_SHIFT

// Widest input a CNP reads, in values, once rounded up to a multiple of kNpInputWidthAlign.
inline constexpr uint32_t kMaxNpInputWidth = 64;
inline constexpr uint32_t kNpInputWidthAlign = 4;

// Input memory: CNP rows are padded to 32-bit words; TNP-B input channels are grouped by 4 and
// its input buffer is allocated in blocks of 64 words.
inline constexpr uint32_t kCnpRowAlignBytes = 4;
inline constexpr uint32_t kTnpBChannelGroup = 4;
inline constexpr uint32_t kTnpBInputBlockWords = 64;

// Channel containers must fit the 18-bit REG11_CHCONT_SIZE field: below 2^18 100-bit words.
inline constexpr uint32_t kChannelContainerLimit = 0x40000;

// Sequence rules: a layer may feed at most this many layers; an HRC layer only one.
inline constexpr uint32_t kMaxOutbounds = 2;
inline constexpr uint32_t kMaxHrcOutbounds = 1;

}  // namespace ornix::v2
