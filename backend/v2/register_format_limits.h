#pragma once

// Limits of the CNP/TNP register formatting and of the shift and lookup-table payloads.

#include <cstdint>

namespace ornix::v2 {

// Two's-complement widths of the signed values packed into registers and payloads, in bits.
inline constexpr int kSplitOffsetBits = 3;       // window offsets of word 8 (-4 .. 3)
inline constexpr int kOutputShiftBits = 6;       // per-channel output shift (-32 .. 31)
inline constexpr int kActivationShiftBits = 6;   // per-channel activation shift (-32 .. 31)
inline constexpr int kMergeShiftBits = 3;        // merge-layer shift sum (-4 .. 3)
inline constexpr int kLutCodeBits = 14;          // lookup-table values (-8192 .. 8191)

// Per-channel variables: words per output channel.
inline constexpr uint32_t kVariableWordsPerChannel = 2;

// Input shifts: one byte each; the input-shift memory takes them in entries of eight, each
// entry one 24-bit memory word that travels as two 32-bit payload words.
inline constexpr uint32_t kInputShiftsPerEntry = 8;
inline constexpr uint32_t kPayloadWordsPerInputShiftEntry = 2;

// Bytes packed into one 32-bit payload word (merge-layer shifts, input shifts).
inline constexpr uint32_t kBytesPerWord = 4;

// Lookup tables: payload words of the CNP table (two values per word) and of the input NP's
// table (one value per word).
inline constexpr uint32_t kCnpLutWords = 1024;
inline constexpr uint32_t kHrcLutWords = 2048;

// The column pair a list holding only the input NP (HRC) reports instead of its own column.
inline constexpr uint8_t kHrcOnlyColumn = 1;

}  // namespace ornix::v2
