#pragma once

// SoC clock registers: absolute addresses in a driver's address space.

#include <cstdint>

namespace ornix::soc {

// Bit 0 reads 1 while a clock change is pending; writing 1 starts a change.
inline constexpr uint32_t kClockChangeAddress = 0xF0001030;
inline constexpr uint32_t kClockChangePending = 1u << 0;
inline constexpr uint32_t kClockChangeStart = 1;
// Clock divider d: the clock runs at source / (d + 1).
inline constexpr uint32_t kClockDividerAddress = 0xF0001190;
// Written with 2 * d + 1.
inline constexpr uint32_t kClockDoubleDividerAddress = 0xF00011A0;
// Written with d.
inline constexpr uint32_t kClockDividerCopyAddress = 0xF00011B0;

}  // namespace ornix::soc
