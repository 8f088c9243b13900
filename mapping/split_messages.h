#pragma once

// Every message text of convolution splitting.

namespace ornix {

inline constexpr const char* kMsgCannotSplitByHeight = "Cannot split by height.";
inline constexpr const char* kMsgCannotSplitByWidth = "Cannot split by width.";
inline constexpr const char* kMsgCannotSplitByNeurons = "Cannot split by neurons.";
inline constexpr const char* kMsgWeightsDoNotFit = "Cannot split to fit weights in ram.";
inline constexpr const char* kMsgInputsDoNotFit = "Cannot split to fit inputs in ram.";
inline constexpr const char* kMsgSplitByHeightNotSupported = "Split by height is not supported.";
// A convolution that runs neither on a CNP nor on a TNP-B.
inline constexpr const char* kMsgNoHardwareComponent = "No hardware component is available.";
// A transposed convolution whose kernel is narrower than the neighbours its windows read.
inline constexpr const char* kMsgTransposedKernelTooSmall =
    "Cannot split a transposed convolution whose kernel size is below 3.";
// Internal error: a split produced an empty window.
inline constexpr const char* kMsgZeroWindowDimension = "Cannot have a shape with a dimension set to 0";

}  // namespace ornix
