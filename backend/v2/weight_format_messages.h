#pragma once

// Every message text of the CNP weight sizes and packers. (Weights outside a 4-bit range panic
// with program's kMsgSignedRangeFormat; tensors of another element type panic in the engine.)

namespace ornix::v2 {

inline constexpr const char* kMsgLayoutKernel = "cnp_weight_format: Unexpected kernel size.";
inline constexpr const char* kMsgChContKernel = "ch_cont_size: Unexpected kernel size.";
inline constexpr const char* kMsgConv2d4bitKernel = "Unsupported kernel size.";
inline constexpr const char* kMsgDepthwise4bitKernel = "Invalid kernel size.";

// Tensors the packers cannot read safely.
inline constexpr const char* kMsgCnpWeightsShape =
    "CNP weights must be a four-dimensional tensor with a square kernel.";
inline constexpr const char* kMsgCnpWeightsRange = "The filter range goes past the last filter of the weights tensor.";
// A packer whose layout overruns the words it sized (an internal fault).
inline constexpr const char* kMsgWeightStreamEnd = "CNP weight stream: write past the last word.";

}  // namespace ornix::v2
