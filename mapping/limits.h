#pragma once

#include <cstdint>

namespace ornix {

// Devices whose product id is above this one first try to map the whole model in one sequence.
inline constexpr uint8_t kLastPrefixOnlyProductId = 0xA0;

// Largest CNP share of a split convolution, per device (MapConstraints defaults).
struct CnpLimits {
  uint32_t width;
  uint32_t height;
  uint32_t filters;
};
inline constexpr CnpLimits kCnpLimitsV1{32, 256, 512};
inline constexpr uint32_t kCnpMaxFiltersD3_00_00_02 = 504;  // the v1 revision D3.00.00.02
inline constexpr CnpLimits kCnpLimitsOther{64, 256, 512};   // v2 and devices of no IP version

// The fixed words of HardwareConstraints, per generation (the others follow the mesh's SRAM).
struct FixedConstraintWords {
  uint32_t max_input_width;
  uint32_t max_input_height;
  uint32_t max_input_channels;
  uint32_t max_filters;
  uint32_t unused[5];  // words 6 to 10
  uint32_t input_shift_memory_size;
};
inline constexpr FixedConstraintWords kFixedWordsV1{4096, 4096, 2048, 2048, {32, 256, 2048, 512, 504}, 0};
inline constexpr FixedConstraintWords kFixedWordsV2{4096, 4096, 2048, 2048, {64, 256, 1536, 512, 0}, 256};

// Memory word widths, bits.
inline constexpr uint32_t kWordBits = 32;  // most memories count 32-bit words
inline constexpr uint32_t kCnpWeightWordBitsV1 = 50;
inline constexpr uint32_t kCnpWeightWordBitsV2 = 100;
inline constexpr uint32_t kDualBufferWordBits = 64;  // one of two buffers of 32-bit words
// The FNP3 SRAM budget is 48/50 of the weight SRAM.
inline constexpr uint32_t kFnp3SramShareNumerator = 48;
inline constexpr uint32_t kFnp3SramShareDenominator = 50;

}  // namespace ornix
