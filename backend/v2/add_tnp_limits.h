#pragma once

// Limits of the Add, TNP-R and TNP-B layer checks.

#include <array>
#include <cstdint>

namespace ornix::v2 {

// Add: the merge layer takes one shift byte per channel, |a - b| in 4 bits and the effective
// output shift max(a, b) + output_shift in a 3-bit signed field.
inline constexpr uint8_t kAddOutputBits = 8;
inline constexpr int32_t kAddMaxInputShiftGap = 15;
inline constexpr int32_t kAddMinOutputShift = -4;
inline constexpr int32_t kAddMaxOutputShift = 3;

// TNP-R (StatefulRecurrent): 16-bit input of one time step.
inline constexpr uint8_t kTnpRInputBits = 16;
inline constexpr uint32_t kTnpRInputTime = 1;  // input height
inline constexpr uint32_t kTnpRMaxInputChannels = 256;
inline constexpr uint32_t kTnpRMaxStatefulChannels = 256;
inline constexpr uint32_t kTnpRMaxOutputChannels = 256;
inline constexpr std::array<uint32_t, 6> kTnpRSubsampleRatios{1, 4, 16, 32, 64, 128};

// TNP-B (BufferTempConv, DepthwiseBufferTempConv): 8-bit input, output and weights.
inline constexpr uint8_t kTnpBBits = 8;
inline constexpr int32_t kTnpBWeightsBits = 8;
inline constexpr uint32_t kTnpBMaxInputWidth = 4096;
inline constexpr uint32_t kTnpBMaxInputHeight = 4096;
inline constexpr uint32_t kTnpBMaxInputChannels = 2048;
inline constexpr uint32_t kTnpBMaxFilters = 2048;
// A skip-DMA line (one input pixel's channels, in 32-bit words) must stay below this: the
// line length field has 10 bits.
inline constexpr uint32_t kSkipDmaLineWordsLimit = 1024;
inline constexpr uint32_t kBitsPerWord = 32;
// One input-shift memory word holds 24 bits.
inline constexpr uint32_t kInputShiftWordBytes = 3;

}  // namespace ornix::v2
