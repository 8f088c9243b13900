#pragma once

// Every message text of the generation-1 compatibility checker and its layer constraint checks.

#include <cstdint>
#include <string>

namespace ornix::v1 {

// Layer compatibility
inline constexpr const char* kMsgVamoV1Unsupported =
    "Vamo_v1 is not supported on this version. Please install ornix 2.0.5 instead.";
inline constexpr const char* kMsgUnsupportedLayerType = "Unsupported layer type on Ornix v1.";
inline std::string weights_out_of_range_message(int32_t low, int32_t high, int32_t example) {
  return "Weights contain values out of range (" + std::to_string(low) + ", " + std::to_string(high) +
         ") (e.g.: " + std::to_string(example) + ").";
}
inline constexpr const char* kMsgFnpNegativeOneBitWeight = "1-bit weights must be 0 or 1: the FNP cannot store -1.";
inline constexpr const char* kMsgNumWeightsMismatch =
    "The number of weights per neuron should match the num_weights OrnixUnsupervised parameter.";
inline std::string learning_values_out_of_range_message(const std::string& variable, int32_t low, int32_t high,
                                                        int32_t example) {
  return "The variable " + variable + " contains values out of range (" + std::to_string(low) + ", " +
         std::to_string(high) + ") (e.g.: " + std::to_string(example) + ").";
}
// The learning parameters behind each register value of a learning layer.
inline constexpr const char* kLearningWinnersParams = "num_weights and learning_competition";
inline constexpr const char* kLearningMinPlasticityParams = "num_weights and min_plasticity";
inline constexpr const char* kLearningPlasticityDecayParams =
    "num_weights, initial_plasticity and plasticity_decay";
inline std::string learning_field_message(const std::string& params, uint32_t value, uint32_t width) {
  return "The learning parameters " + params + " give " + std::to_string(value) + ", which does not fit the " +
         std::to_string(width) + "-bit register field.";
}
inline std::string learning_classes_message(uint32_t top_class, uint32_t max_class) {
  return "The neurons of the learning layer take classes up to " + std::to_string(top_class) +
         "; the register field holds at most " + std::to_string(max_class) + ".";
}
// An engine layer without its built geometry (an exception, not a status).
inline std::string layer_not_built_message(const std::string& layer) {
  return "The layer " + layer + " is not built.";
}

// Sequence rules
inline constexpr const char* kMsgMaxPoolingLast =
    "A convolutional or separable convolutional layer with max pooling cannot be the last layer of a sequence.";
inline std::string max_pooling_successor_message(const std::string& inbound) {
  return "A convolutional or separable convolutional layer with max pooling must be followed by another "
         "convolutional or separable convolutional layer. Layer '" +
         inbound + "' has max pooling.";
}

// NP placement
inline constexpr const char* kMsgUnknownLayerType = "unknown Layer type.";
inline std::string np_input_width_message(uint64_t rounded_width, uint32_t max_width) {
  return "The input length " + std::to_string(rounded_width) +
         " exceeds the maximum value for NP input width: " + std::to_string(max_width) + ".";
}
inline constexpr const char* kMsgStrideWithMaxPoolSplit =
    "Cannot have convolution stride > 1 and max pooling if the layer is mapped on multiple NPs.";
inline constexpr const char* kMsgPoolSizeAboveStrideSplit =
    "Cannot have pooling size > pooling stride if the layer is mapped spatially on multiple NPs.";
inline constexpr const char* kMsgOneChannelOddFilterGroups =
    "With one input channel, the number of neurons per NP / 8 must be even.";

// CNP input and convolution
inline std::string max_input_width_message(uint32_t max, uint32_t width) {
  return "The maximum input width is " + std::to_string(max) + " (got " + std::to_string(width) + ").";
}
inline std::string max_input_height_message(uint32_t max, uint32_t height) {
  return "The maximum input height is " + std::to_string(max) + " (got " + std::to_string(height) + ").";
}
inline std::string max_input_channels_message(uint32_t max, uint32_t channels) {
  return "The maximum input channel value is " + std::to_string(max) + " (got " + std::to_string(channels) + ").";
}
inline std::string max_filters_message(int32_t max, int32_t filters) {
  return "The maximum number of filters is " + std::to_string(max) + " (got " + std::to_string(filters) + ").";
}
inline constexpr const char* kMsgKernelNotSquare = "Kernel width and height must be equal.";
inline constexpr const char* kMsgStridesDiffer = "Horizontal and vertical strides must be equal.";
inline constexpr const char* kMsgStrideTooLarge = "Convolution stride must be 1 or 2.";
inline constexpr const char* kMsgStride2Kernel = "Convolution stride 2 is only supported for 3x3 kernels.";
inline constexpr const char* kMsgPaddingNotSame = "Only padding same is supported.";

// CNP max pooling
inline constexpr const char* kMsgMaxPoolSize = "Pooling size must be 1, 2 or 3.";
inline constexpr const char* kMsgMaxPoolSize3OnVamoV2 = "Pooling size 3 is not supported on Vamo_v2.";
inline constexpr const char* kMsgPoolNotSquare = "Pooling width and height must be equal.";
inline constexpr const char* kMsgPoolStridesDiffer = "Pooling stride x and y must be equal.";
inline constexpr const char* kMsgPoolStrideAboveSize = "Pooling stride must be equal or lower than pooling size.";
inline constexpr const char* kMsgPoolAboveInput = "Pooling size cannot be greater than input dimensions.";

// CNP average pooling
inline constexpr const char* kMsgAveragePoolNotGlobal = "Average pooling must be global.";
inline std::string average_pool_input_width_message(uint32_t max) {
  return "With average pooling, input width cannot exceed " + std::to_string(max) + ".";
}
inline std::string average_pool_conv_rows_message(uint32_t min_rows, uint32_t rows) {
  return "When using Global Average Pooling, the output of the convolution must have at least " +
         std::to_string(min_rows) + " rows (currently " + std::to_string(rows) + ").";
}
inline constexpr const char* kMsgAveragePoolSplit = "With average pooling, spatial split is impossible.";

// Standard and separable CNP
inline constexpr const char* kMsgStdKernelSize = "Kernel size must be 1, 3, 5 or 7.";
inline constexpr const char* kMsgStdWeightsBits = "Standard CNP weights bitwidth must be 1, 2 or 4.";
inline constexpr const char* kMsgFilterTooBig =
    "Filter size is too big to fit in a CNP: try decreasing the input channels or the bitwidth.";
inline constexpr const char* kMsgSepKernelSize = "Kernel size must be 3, 5 or 7.";
inline constexpr const char* kMsgSepWeightsBits = "Separable CNP weights bitwidth must be 2 or 4.";
inline constexpr const char* kMsgSepAveragePool1x1 =
    "Separable CNP with Global Average Pooling does not support 1x1 inputs.";
inline constexpr const char* kMsgSepWeightsAllZero = "All weights in a separable CNP layer cannot be zeroes.";

// FNP
inline constexpr const char* kMsgInputBits = "Input bitwidth should be 1, 2 or 4.";
inline std::string fnp_input_values_message(uint64_t max) {
  return "Input dimensions are too large to fit in a FNP. The maximum value is " + std::to_string(max) + ".";
}
inline constexpr const char* kMsgFnpWeightsBitsRange = "Weight bits should be between 1 and 4 inclusive.";
inline constexpr const char* kMsgFnpActBits = "act_bits should be 1, 2 or 4.";

// Sizes in bytes.
inline std::string fnp_input_memory_message(uint64_t max_bytes, uint64_t bytes) {
  return "Input size exceeds memory. Maximum size is " + std::to_string(max_bytes) + " bytes. (got " +
         std::to_string(bytes) + " bytes).";
}

// Neuron values of every NP kind
inline std::string act_bits_without_activation_message(int32_t max, int32_t act_bits) {
  return "Without activation, act_bits should be between 0 and " + std::to_string(max) + " (got " +
         std::to_string(act_bits) + ").";
}
inline std::string thresholds_out_of_range_message(int32_t low, int32_t high, int32_t example) {
  return "Thresholds contain values out of range (" + std::to_string(low) + ", " + std::to_string(high) +
         ") (e.g.: " + std::to_string(example) + ").";
}

// HRC, in the order of the checks. The first dimension is the input width, the second its height.
inline constexpr const char* kMsgHrcKernelNotSquare = "Kernel size should be symmetric.";
inline constexpr const char* kMsgHrcKernelSize = "Kernel size should be 3, 5 or 7.";
inline constexpr const char* kMsgHrcActBits = "The parameter act_bits should be 1, 2 or 4.";
inline constexpr const char* kMsgHrcInputChannels = "The parameter input_channels must be 1 or 3.";
inline constexpr const char* kMsgHrcStrideX = "The parameter stride_x should be 1, 2 or 3.";
inline constexpr const char* kMsgHrcStrideY = "The parameter stride_y should be 1, 2 or 3.";
inline std::string hrc_filters_message(int32_t max) {
  return "The parameter num_neurons should be set between 1 and " + std::to_string(max) + ".";
}
inline std::string hrc_valid_padding_height_message(uint32_t kernel, int32_t stride, int64_t min_height) {
  return "With valid padding, a " + std::to_string(kernel) + " kernel size and a " + std::to_string(stride) +
         " kernel stride, input second dimension size cannot be smaller than " + std::to_string(min_height) + ".";
}
inline std::string hrc_min_height_message(int64_t min_height) {
  return "Input second dimension size cannot be smaller than " + std::to_string(min_height) + ".";
}
inline std::string hrc_min_width_message(int32_t min_width) {
  return "Input first dimension size cannot be smaller than " + std::to_string(min_width) + ".";
}
inline constexpr const char* kMsgHrcWidthBelowKernel = "Input first dimension size cannot be smaller than kernel size.";
inline std::string hrc_max_height_message(int32_t max, int32_t height) {
  return "The maximum input second dimension size is " + std::to_string(max) + " (got " + std::to_string(height) + ").";
}
inline constexpr const char* kMsgHrcAveragePool = "The parameter pool_type cannot be Average.";
inline constexpr const char* kMsgHrcPoolingY = "The parameter pooling_y should be 1 or 2.";
inline constexpr const char* kMsgHrcPoolingX = "The parameter pooling_x should be 1 or 2.";
inline constexpr const char* kMsgHrcPoolStride = "The parameter pool_size and pool_stride should be equal.";
inline constexpr const char* kMsgHrcPooledHeight = "With max pooling, output second dimension size must be at least 2.";
inline constexpr const char* kMsgHrcNoActivation =
    "The first convolutional layer of a model can only be mapped if its activations are enabled.";
inline constexpr const char* kMsgHrcWeightsAllZero = "All weights in a hrc layer cannot be zeroes.";
inline std::string hrc_padding_value_message(int32_t max, int32_t value) {
  return "The parameter padding_value should be between 0 and " + std::to_string(max) + " (got " +
         std::to_string(value) + ").";
}
inline std::string hrc_act_step_message(int32_t act_step) {
  return "The parameter act_step should be between 0 and 1048575. Receives act_step " + std::to_string(act_step) + ".";
}

}  // namespace ornix::v1
