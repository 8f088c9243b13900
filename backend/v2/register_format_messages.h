#pragma once

// Every message text of the CNP/TNP register formatting and of the shift and lookup-table
// payloads. (A field that would overflow panics with hardware's kMsgFieldOverflowFormat, a
// signed value out of range with program::kMsgSignedRangeFormat; wrong tensor element types
// panic in the engine.)

#include <cstddef>
#include <cstdint>
#include <string>

namespace ornix::v2 {

// Merge and skip-DMA fields.
inline constexpr const char* kMsgSkipDmaLoadNull = "Skip DMA load should not be null.";
inline constexpr const char* kMsgSkipDmaStoreNull = "Skip DMA store should not be null.";

// Lookup tables.
inline constexpr const char* kMsgWrongLutSize = "Wrong size for LUT.";
inline constexpr const char* kMsgMissingLut = "A lookup-table activation needs its lookup table tensor.";

// Merge-layer shifts (panic text, no placeholder).
inline constexpr const char* kMsgCoordinatesOutOfRange = "Coordinates are out-of-range";
inline constexpr const char* kMsgMissingMergeShift = "Merge-layer shifts need all three shift tensors.";

// Reads past the end of a per-channel tensor.
inline std::string variable_out_of_range_message(std::size_t held, uint64_t channel) {
  return "A per-channel variable holds " + std::to_string(held) + " values but channel " + std::to_string(channel) +
         " is read.";
}

// Variable words given in place for `count` channels.
inline std::string variable_words_message(uint32_t count, std::size_t needed, std::size_t given) {
  return "The variables of " + std::to_string(count) + " channels take " + std::to_string(needed) + " words, not " +
         std::to_string(given) + ".";
}

inline std::string input_shift_out_of_range_message(std::size_t held, uint64_t start, uint64_t count) {
  return "The input shift holds " + std::to_string(held) + " values but " + std::to_string(count) +
         " are read from index " + std::to_string(start) + ".";
}

}  // namespace ornix::v2
