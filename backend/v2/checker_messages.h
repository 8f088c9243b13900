#pragma once

// Every message text of the generation-2 compatibility checker and its sequence rules.

#include <cstdint>
#include <string>

namespace ornix::v2 {

// Per-layer checks
inline constexpr const char* kMsgUnsupportedLayerType = "Unsupported layer type on Ornix v2.";
inline constexpr const char* kMsgLutMissing = "Lookup tables are missing on some NPs.";

inline std::string variable_too_wide_message(const std::string& variable, uint32_t max_bits, int measured_bits) {
  return "The variable " + variable + " should only contain unsigned values that use no more than " +
         std::to_string(max_bits) + "-bit, " + std::to_string(measured_bits) + " detected.";
}

// `activation`: the text of activation_name().
inline std::string unsupported_activation_message(const std::string& activation) {
  return "Does not support activation type '" + activation + "'.";
}

// Names of the "activation" parameter's values.
inline constexpr const char* kActivationNoActivation = "NoActivation";
inline constexpr const char* kActivationReLU = "ReLU";
inline constexpr const char* kActivationLUT = "LUT";
inline constexpr const char* kActivationUnknown = "Unknown";

// Placement and splitting
inline std::string np_input_width_message(uint64_t rounded_width, uint32_t max_width) {
  return "The input length " + std::to_string(rounded_width) +
         " exceeds the maximum value for NP input width: " + std::to_string(max_width) + ".";
}

inline constexpr const char* kMsgNpTypeNotSupported = "Type of NP not supported.";
inline constexpr const char* kMsgUnexpectedWeightLayerType = "Unexpected layer type for CNP or TNP-B.";

// Sequence rules
inline constexpr const char* kMsgMergeLayerFirst = "Can't be the first layer of the sequence.";
inline constexpr const char* kMsgDequantizerFirst = "Can't start a sequence with a Dequantizer.";
inline constexpr const char* kMsgDequantizerNotLast = "Only 1 Dequantizer at the end of the model is supported.";
inline constexpr const char* kMsgMaxPoolingLast = "A layer with max pooling cannot be the last layer of a sequence.";
inline constexpr const char* kMsgNoActivationShift = "Without activation output_shift should be 0.";
inline constexpr const char* kMsgNoActivationScale = "Without activation output_scales should be 1.";
inline constexpr const char* kMsgHrcFanOut = "A layer mapped on HRC supports 1 outbound only.";
inline constexpr const char* kMsgSkipSeveralBranches = "Bad mapping on skip connection. Several branches.";
inline constexpr const char* kMsgSkipNoMergeLayer =
    "Bad mapping on skip connection. No valid merge layer. Add layer requires an outbound that is mappable on a CNP.";
inline constexpr const char* kMsgConcatSecondInputFanOut =
    "Is the second input of a Concat, it can't have multiple outputs.";

inline std::string max_pooling_successor_message(const std::string& inbound) {
  return "Any layer with max pooling must be followed by a layer mapped on a CNP or a TNP-B. Layer '" + inbound +
         "' has max pooling.";
}

inline std::string fnp_before_cnp_message(const std::string& inbound) {
  return "A layer mapped on FNP cannot be directly followed by a layer mapped on CNP due to incompatible data "
         "processing requirements. Layer '" +
         inbound + "' is mappable on FNP.";
}

inline std::string merge_before_dense_message(const std::string& inbound) {
  return "Dense layer can't have Add/Concat as inbound. Layer '" + inbound + "' is a Add/Concat.";
}

inline std::string too_many_outbounds_message(std::size_t count, uint32_t max_count) {
  return "Layer has " + std::to_string(count) + " outbounds. A maximum of " + std::to_string(max_count) +
         " outbounds is supported.";
}

}  // namespace ornix::v2
