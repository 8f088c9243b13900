#pragma once

// Message texts of the generation-1 CNP and HRC recorders. Field overflows panic with
// hardware's kMsgFieldOverflowFormat, out-of-range thresholds with program's
// kMsgSignedRangeFormat; a step that does not fit reuses the FNP's act_step text.

#include <string>

namespace ornix::v1 {

inline std::string layer_not_built_message(const std::string& layer) {
  return "The layer " + layer + " is not built.";
}

inline constexpr const char* kMsgStepsPerThreshold = "The act_step tensor must hold one value per threshold.";
inline constexpr const char* kMsgValuesPerFilter =
    "The threshold and act_step tensors must hold one value per filter of the NP.";

}  // namespace ornix::v1
