#pragma once

// Every message text of the Conv2D register builder and recorder. (A field that would overflow
// panics with hardware's kMsgFieldOverflowFormat, or recorder_messages.h's
// kMsgWideFieldOverflowFormat for a value computed beyond 32 bits; an unmapped layer is refused
// with mapping's missing_layer_mapping_message.)

#include <string>

namespace ornix::v2 {

inline constexpr const char* kMsgInvalidCnpLayerType = "Invalid layer type for CNP recording.";

inline std::string layer_not_built_message(const std::string& layer_name) {
  return "The layer " + layer_name + " is not built.";
}

inline std::string np_without_allocation_message(const std::string& layer_name) {
  return "Layer '" + layer_name + "' has an NP without allocation.";
}

}  // namespace ornix::v2
