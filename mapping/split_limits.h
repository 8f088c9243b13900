#pragma once

// Fixed figures of convolution splitting.

#include <cstdint>

namespace ornix {

// Input-memory words a layer fed by an Add cannot use for its window. 32-bit words.
inline constexpr uint32_t kAddReservedInputWords = 512;
// Channel groups of a TNP-B depthwise layer, except the last, are multiples of this.
inline constexpr uint32_t kTnpBChannelAlignment = 4;
// The NP count of a split that nothing caps.
inline constexpr uint32_t kUncappedNps = UINT32_MAX;
// A transposed piece reads (kernel size - this) columns after it, and one before.
inline constexpr int32_t kTransposedSmallestKernel = 3;

}  // namespace ornix
