#pragma once

// Threshold and step words of the generation-1 CNP: two per filter.

#include <cstdint>

namespace ornix::v1 {

inline constexpr uint32_t kCnpWordsPerFilter = 2;
// Thresholds are 20-bit two's complement; steps (sixteenths of an act_step) 20-bit unsigned.
inline constexpr int kCnpThresholdBits = 20;
inline constexpr uint32_t kCnpMaxStep = 0xFFFFF;
inline constexpr int32_t kCnpStepScale = 16;
// The threshold word of a filter without activation.
inline constexpr uint32_t kCnpNoActivationThreshold = 0x80000;

// The pointwise stream of a separable layer starts after the depthwise one, at an address
// counted in units of this many words.
inline constexpr uint32_t kCnpWeightAddressUnit = 16;

}  // namespace ornix::v1
