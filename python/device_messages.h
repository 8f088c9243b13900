#pragma once

// Texts of the refusals of HardwareDevice, its runs and the board flash. Python programs match
// them word for word: do not reword them.

namespace ornix::python::msg {

inline constexpr const char* kLearnMemSize = "Unexpected input buffer size.";
inline constexpr const char* kInputDimensions = "Input dimensions are not correct (Should be 4 or 2).";
inline constexpr const char* kLabelCount = "Number of labels should be the same as number of inputs.";
inline constexpr const char* kOutputType = "Unexpected output type.";
inline constexpr const char* kOutputSize = "Outputs of different sizes cannot be stacked.";
inline constexpr const char* kZeroDimension = "Cannot have a shape with a dimension set to 0";
inline constexpr const char* kNoFlash = "The device does not contain an KPL2200 flash";

}  // namespace ornix::python::msg
