#pragma once

// Limits applied by the generation-2 convolution checks. The per-device limits (input size,
// filters, weight, input and input-shift memories) come from HardwareConstraints.

#include <array>
#include <cstdint>

namespace ornix::v2 {

// Values a CNP takes, per layer family.
inline constexpr std::array<int32_t, 2> kCnpInputBits{4, 8};
inline constexpr std::array<int32_t, 2> kCnpWeightsBits{4, 8};
inline constexpr std::array<int32_t, 1> kTransposedInputBits{8};
inline constexpr std::array<int32_t, 1> kTransposedWeightsBits{8};
inline constexpr std::array<int32_t, 4> kConv2DKernelSizes{1, 3, 5, 7};
inline constexpr std::array<int32_t, 3> kDepthwiseKernelSizes{3, 5, 7};
inline constexpr std::array<int32_t, 2> kTransposedKernelSizes{3, 4};

// Output bits: an activated layer gives at most 8 (8, or 4 where allowed); without activation
// the layer outputs its 8-bit or its 28-bit potential.
inline constexpr uint32_t kActivationOutputMaxBits = 8;
inline constexpr uint32_t kActivationOutputBits = 8;
inline constexpr uint32_t kActivationOutput4Bits = 4;
inline constexpr std::array<int32_t, 2> kNoActivationOutputBits{8, 28};
// The combination refused for 4-bit weights: 8-bit output with 4-bit weights.
inline constexpr uint32_t kRefusedOutputBitsWith4bitWeights = 8;
inline constexpr int32_t kFourBitWeights = 4;

// Max pooling windows; a "pool_size" of -1 is a global pooling.
inline constexpr std::array<int32_t, 2> kMaxPoolSizes{1, 2};
inline constexpr int32_t kGlobalPoolSize = -1;
// A convolution stride above this cannot be combined with pooling.
inline constexpr int32_t kMaxStrideWithPooling = 1;

// Global average pooling: at most 64 input columns and 144 input values per channel, and at
// least one row of convolution output.
inline constexpr uint32_t kAveragePoolOutputMaxBits = 8;
inline constexpr uint32_t kGlobalPoolMaxInputWidth = 64;
inline constexpr uint32_t kGlobalPoolMaxInputArea = 144;
inline constexpr uint32_t kGlobalPoolMinConvRows = 1;

// One input-shift memory word holds 24 bits: 3 bytes.
inline constexpr uint32_t kInputShiftWordBytes = 3;

}  // namespace ornix::v2
