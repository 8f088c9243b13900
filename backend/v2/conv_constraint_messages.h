#pragma once

// Every message text of the generation-2 convolution checks (Conv2D, DepthwiseConv2D and the
// two transposed convolutions) and of the weight bit-width check they share with Dense1D.
// Numbers are decimal: unsigned for limits and sizes, signed for bit widths of weights.

#include <cstdint>
#include <string>

namespace ornix::v2 {

// Shared CNP rules.
inline constexpr const char* kMsgActivationOutputAtMost8 = "With activation output bitwidth should be <= 8.";
inline constexpr const char* kMsgInputBitsBelowWeightsBits = "Input bits should be >= weights bits.";

inline std::string max_input_width_message(uint32_t max_width, uint32_t width) {
  return "The maximum input width is " + std::to_string(max_width) + " (got " + std::to_string(width) + ").";
}

inline std::string max_input_height_message(uint32_t max_height, uint32_t height) {
  return "The maximum input height is " + std::to_string(max_height) + " (got " + std::to_string(height) + ").";
}

inline std::string max_input_channels_message(uint32_t max_channels, uint32_t channels) {
  return "The maximum input channel value is " + std::to_string(max_channels) + " (got " +
         std::to_string(channels) + ").";
}

inline std::string max_filters_message(uint32_t max_filters, uint32_t filters) {
  return "The maximum number of filters is " + std::to_string(max_filters) + " (got " + std::to_string(filters) +
         ").";
}

inline std::string input_shift_memory_message(uint64_t max_bytes, uint64_t bytes) {
  return "Input shift exceeds memory. Maximum size is " + std::to_string(max_bytes) + " bytes. (got " +
         std::to_string(bytes) + " bytes).";
}

// Padding.
inline constexpr const char* kMsgPaddingSameOnly = "Only padding 'Same' is supported.";

// Output bit width.
inline constexpr const char* kMsgActivationOutput4Or8 = "With activation output bitwidth should be 4 or 8.";
inline constexpr const char* kMsgActivationOutput8 = "With activation output bitwidth should be 8.";
inline constexpr const char* kMsgLut4bitActivation = "4-bit activation is not supported with LUT.";
inline constexpr const char* kMsgNoActivationOutput = "Without activation output bitwidth should be 8 or 28.";

// Pooling.
inline constexpr const char* kMsgPoolingWithStride = "The CNP cannot support both pooling and stride.";
inline constexpr const char* kMsgMaxPoolSize = "Pooling size must be 1 or 2.";
inline constexpr const char* kMsgPoolStridesDiffer = "Pooling stride x and y must be equal.";
inline constexpr const char* kMsgPoolLargerThanInput = "Pooling size cannot be greater than input dimensions.";
inline constexpr const char* kMsgMaxPoolWithLut = "Max pooling is not supported with activation LUT.";
inline constexpr const char* kMsgAveragePoolOutput = "With average pooling output bitwidth should be <= 8.";
inline constexpr const char* kMsgAveragePoolNotGlobal = "Global Average pooling must be global.";
inline constexpr const char* kMsgGlobalPoolSpatialSplit =
    "When using Global Average Pooling, spatial split is impossible.";

inline std::string global_pool_width_message(uint32_t max_width) {
  return "When using Global Average Pooling, input width cannot exceed " + std::to_string(max_width) + ".";
}

inline std::string global_pool_rows_message(uint32_t min_rows, uint32_t rows) {
  return "When using Global Average Pooling, the output of the convolution must have at least " +
         std::to_string(min_rows) + " rows (currently " + std::to_string(rows) + ").";
}

inline std::string global_pool_area_message(uint32_t max_area) {
  return "When using Global Average Pooling, input dimensions width * height cannot exceed " +
         std::to_string(max_area) + ".";
}

// Rules of one layer type.
inline constexpr const char* kMsgInputBits4Or8 = "Input should be 4-bit or 8-bit.";
inline constexpr const char* kMsgInputBits8 = "Input should be 8-bit.";
inline constexpr const char* kMsgWeightsBits4Or8 = "Weights bitwidth should be 4-bit or 8-bit.";
inline constexpr const char* kMsgWeightsBits8 = "Weights should be 8-bit.";
inline constexpr const char* kMsgConv2DKernelSize = "Kernel size must be 1, 3, 5 or 7.";
inline constexpr const char* kMsgDepthwiseKernelSize = "Kernel size must be 3, 5 or 7.";
inline constexpr const char* kMsgTransposedKernelSize = "Kernel size must be 3 or 4.";
inline constexpr const char* kMsgConv2DFilterFit =
    "Filter size is too big to fit in a CNP: try decreasing the input channels or the bitwidth.";
inline constexpr const char* kMsgTransposedFilterFit =
    "Filter size is too big to fit in a CNP: try decreasing the input.";
inline constexpr const char* kMsg4bitWeights8bitPotential = "4-bit weights and 8-bit potential is not allowed.";
inline constexpr const char* kMsg4bitWeights8bitActivation = "4-bit weights and 8-bit activation is not allowed.";

// Weight values against the declared "weights_bits".
inline std::string weights_bitwidth_message(int32_t expected_bits, int provided_bits) {
  return "Expected bitwidth is " + std::to_string(expected_bits) + "-bit but provided weights are " +
         std::to_string(provided_bits) + "-bit.";
}

}  // namespace ornix::v2
