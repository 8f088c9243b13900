#pragma once

// Every message text of the CNP weight sizes and packers. (Weights outside the signed range of
// their field panic with program's kMsgSignedRangeFormat; tensors of another element type panic
// in the engine; a layer without input dimensions throws the engine's own message.)

#include <string>

namespace ornix::v1 {

inline constexpr const char* kMsgUnsupportedKernelSize = "Unsupported kernel size";
inline constexpr const char* kMsgUnexpectedCnpLayerType = "Unexpected layer type for CNP";
inline constexpr const char* kMsgCnpKernelNotSquare = "CNP: width and height must be equal.";

// Tensors the packers cannot read safely, and widths without a separable format.
inline constexpr const char* kMsgCnpWeightsRank = "CNP weights must be a four-dimensional tensor.";
inline constexpr const char* kMsgPointwiseWeightsRank = "Pointwise weights must be a two-dimensional tensor.";
inline constexpr const char* kMsgCnpFilterRange = "The filter range goes past the last filter of the weights tensor.";
inline constexpr const char* kMsgSeparableWeightsBits = "Separable CNP weights must be 2 or 4 bits wide.";
// A packer that would write a weight slot past the end of its stream.
inline constexpr const char* kMsgWeightSlotOutside = "A CNP weight slot lies past the end of its weight stream.";
// Words given to a packer that are not exactly as many as its stream takes.
inline constexpr const char* kMsgWeightWordsSize =
    "The words given to a CNP weight packer do not match the size of its stream.";

// Depthwise kernel rows that no 50-bit weight word can hold.
inline std::string depthwise_row_too_wide_message(int kernel, int weights_bits) {
  return "A depthwise kernel row of width " + std::to_string(kernel) + " with " + std::to_string(weights_bits) +
         "-bit weights does not fit a 50-bit weight word.";
}

}  // namespace ornix::v1
