#pragma once

// Fixed sizes and timings of the hardware model and device services.

#include <chrono>
#include <cstddef>
#include <cstdint>

namespace ornix {

// Power events a power meter keeps; the oldest is overwritten beyond this.
inline constexpr std::size_t kPowerEventCapacity = 100;

// SoC clock source; the clock is this divided by (divider + 1). Hz.
inline constexpr uint32_t kSocClockSourceHz = 600000000;
// Width of the SoC clock divider fields. Bits.
inline constexpr unsigned kSocClockFieldBits = 8;
// How long a clock change may stay pending before it counts as failed.
inline constexpr std::chrono::milliseconds kClockChangeTimeout{10};

}  // namespace ornix
