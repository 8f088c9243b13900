#pragma once

// What the input NP (HRC) accepts of an InputConv2D layer.

#include <array>
#include <cstdint>

namespace ornix::v2 {

// Square kernels of these sizes; the stride may not exceed the kernel size nor kHrcMaxStride.
inline constexpr std::array<int32_t, 4> kHrcKernelSizes{3, 4, 5, 7};
inline constexpr int32_t kHrcMaxStride = 6;

// Max pooling takes only these (pool size, pool stride) pairs; average pooling is not limited.
struct HrcPoolWindow {
  int32_t size;
  int32_t stride;
};
inline constexpr std::array<HrcPoolWindow, 2> kHrcMaxPoolWindows{{{2, 2}, {3, 2}}};

// Input frame: width at least kHrcMinInputSize, height between kHrcMinInputSize and
// kHrcMaxInputHeight.
inline constexpr uint32_t kHrcMinInputSize = 5;
inline constexpr uint32_t kHrcMaxInputHeight = 384;

// Input frames of one channel or of three (R, G, B).
inline constexpr uint32_t kHrcSingleChannel = 1;
inline constexpr uint32_t kHrcColourChannels = 3;

// Output values of 4 or 8 bits; a lookup-table activation needs 8.
inline constexpr int32_t kHrcOutputBits4 = 4;
inline constexpr int32_t kHrcOutputBits8 = 8;

// 1 to kHrcMaxFilters filters of 8-bit weights.
inline constexpr uint32_t kHrcMaxFilters = 512;
inline constexpr int32_t kHrcWeightsBits = 8;

}  // namespace ornix::v2
