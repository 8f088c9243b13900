#pragma once

// Every message text of the Add, TNP-R and TNP-B layer checks. Numbers print in decimal.

#include <cstdint>
#include <string>

namespace ornix::v2 {

// Add
inline constexpr const char* kMsgAddActivation = "Add with activation is not supported in HW.";
inline constexpr const char* kMsgAddOutputBits = "Output must be 8-bit.";
inline constexpr const char* kMsgAddNoMergeLayer = "Must be followed by a merge layer.";

inline std::string add_input_shift_message(int32_t max_gap) {
  return "This model cannot be mapped in hardware, Add input shift is out of range. The maximum is " +
         std::to_string(max_gap) + ".";
}

inline std::string add_output_shift_message(int32_t min, int32_t max) {
  return "This model cannot be mapped in hardware, Add output shift is out of range. Should be in [ " +
         std::to_string(min) + " , " + std::to_string(max) + " ].";
}

// Shared by the TNP-R and TNP-B checks.
inline std::string max_input_channels_message(uint32_t limit, uint32_t channels) {
  return "The maximum input channel value is " + std::to_string(limit) + " (got " + std::to_string(channels) + ").";
}

// TNP-R
inline constexpr const char* kMsgTnpRInputBits = "Input should be 16-bit.";

inline std::string max_input_time_message(uint32_t limit, uint32_t time) {
  return "The maximum input time is " + std::to_string(limit) + " (got " + std::to_string(time) + ").";
}

inline std::string stateful_channels_message(uint32_t limit) {
  return "Stateful channels exceeds max limit of " + std::to_string(limit) + " for TNP-R.";
}

inline std::string output_channels_message(uint32_t limit) {
  return "Output channels exceeds max limit of " + std::to_string(limit) + " for TNP-R.";
}

// `ratios`: the allowed values, e.g. "[1, 4, 16]".
inline std::string subsample_ratio_message(const std::string& ratios) {
  return "Subsample_ratio must be one of " + ratios + ".";
}

// TNP-B
inline constexpr const char* kMsgTnpBInputBits = "Input should be 8-bit.";
inline constexpr const char* kMsgTnpBOutputBits = "Output should be 8-bit.";
inline constexpr const char* kMsgTnpBWeightsBits = "Only 8-bit weights are supported.";

inline std::string max_input_width_message(uint32_t limit, uint32_t width) {
  return "The maximum input width is " + std::to_string(limit) + " (got " + std::to_string(width) + ").";
}

inline std::string max_input_height_message(uint32_t limit, uint32_t height) {
  return "The maximum input height is " + std::to_string(limit) + " (got " + std::to_string(height) + ").";
}

inline std::string max_filters_message(uint32_t limit, uint32_t filters) {
  return "The maximum number of filters is " + std::to_string(limit) + " (got " + std::to_string(filters) + ").";
}

inline std::string skip_dma_line_message(uint32_t limit, uint64_t words) {
  return "The skip DMA horizontal dimension must be smaller than " + std::to_string(limit) + " (got " +
         std::to_string(words) + ").";
}

inline std::string input_shift_memory_message(uint64_t max_bytes, uint64_t bytes) {
  return "Input shift exceeds memory. Maximum size is " + std::to_string(max_bytes) + " bytes. (got " +
         std::to_string(bytes) + " bytes).";
}

}  // namespace ornix::v2
