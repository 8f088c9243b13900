#pragma once

// Every message text of the generation-2 recorders and memory sizer. (A register field that
// would overflow panics with hardware's kMsgFieldOverflowFormat, the one text for that fault in
// the back end.)

#include <cstdint>
#include <string>

namespace ornix::v2 {

inline constexpr const char* kMsgLearningNotImplemented = "Learning not implemented on v2.";
inline constexpr const char* kMsgInvalidLayerType = "Invalid v2 layer type.";

inline std::string unsupported_layer_type(uint32_t type) {
  return "Unsupported layer type: " + std::to_string(type) + ".";
}

// panic format: the overflow text for a value computed beyond 32 bits (value, field width).
inline constexpr const char kMsgWideFieldOverflowFormat[] =
    "Attempted to write value %llu into a %u-bit field, which will cause an overflow.";

}  // namespace ornix::v2
