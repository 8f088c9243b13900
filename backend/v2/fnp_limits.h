#pragma once

// The limits and word geometry of the FNP input memory, input-shift memory and FNP SRAM.

#include <cstdint>

namespace ornix::v2 {

// Value slots of the FNP input memory: a layout fits when it needs at most this many.
inline constexpr uint32_t kFnpInputSlots = 2048;

inline constexpr uint32_t kFnpWordBits = 32;   // input memory and FNP SRAM words
inline constexpr uint32_t kFnpWordBytes = 4;
inline constexpr uint32_t kFnpByteBits = 8;

// Input shifts: one per value slot, eight to a 24-bit (3-byte) word.
inline constexpr uint32_t kShiftsPerWord = 8;
inline constexpr uint32_t kShiftWordBytes = 3;

// Every neuron's area of the FNP SRAM opens with its two parameter words.
inline constexpr uint32_t kNeuronParameterWords = 2;
// Neurons whose weight words the FNP image writer gathers together.
inline constexpr uint32_t kFnpNeuronBlock = 64;

// Bit widths of the FNP data paths.
inline constexpr uint32_t kFnp4Bits = 4;
inline constexpr uint32_t kFnp8Bits = 8;
inline constexpr uint32_t kFnpAccumulatorBits28 = 28;
inline constexpr uint32_t kFnpAccumulatorBits32 = 32;

}  // namespace ornix::v2
