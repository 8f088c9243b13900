#pragma once

#include <cstdint>
#include <string>

// Texts of the engine's program reader, in one place.

namespace ornix::msg {

inline constexpr const char* kProgramTruncated = "The device program is truncated.";
inline constexpr const char* kProgramTooLarge = "A device program cannot exceed 4294967295 bytes.";
inline constexpr const char* kProgramTrailingBytes = "The device program has bytes after its data part.";
inline constexpr const char* kProgramInfoUnreadable = "The device program's info part cannot be read.";
inline constexpr const char* kProgramDataUnreadable = "The device program's data part cannot be read.";
inline constexpr const char* kProgramPassCountsDiffer =
    "The device program's info part and data part have different pass counts.";
inline constexpr const char* kProgramSpanOutside = "The device program locates words outside its data part.";
inline std::string program_output_too_large(uint64_t bytes, uint64_t max) {
  return "The device program describes an output of " + std::to_string(bytes) + " bytes; the device holds at most " +
         std::to_string(max) + " bytes for one output.";
}

}  // namespace ornix::msg
