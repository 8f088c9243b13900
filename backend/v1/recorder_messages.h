#pragma once

// Message texts of the generation-1 CNP, HRC and I/O recorders and of the memory sizer. Field overflows panic with
// hardware's kMsgFieldOverflowFormat, out-of-range thresholds with program's
// kMsgSignedRangeFormat; a step that does not fit reuses the FNP's act_step text.

#include <string>

namespace ornix::v1 {

inline std::string layer_not_built_message(const std::string& layer) {
  return "The layer " + layer + " is not built.";
}

// A first or last layer of a sequence whose type has no I/O type code.
inline constexpr const char* kMsgIoUnsupportedLayerType = "Unsupported layer type.";
// A layer type the memory sizer does not size.
inline constexpr const char* kMsgInvalidLayerType = "Invalid v1 layer type.";

inline constexpr const char* kMsgStepsPerThreshold = "The act_step tensor must hold one value per threshold.";
inline constexpr const char* kMsgValuesPerFilter =
    "The threshold and act_step tensors must hold one value per filter of the NP.";

}  // namespace ornix::v1
