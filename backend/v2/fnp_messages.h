#pragma once

// Every message text of the FNP (Dense1D) input layout, constraint check and sizes.

#include <cstdint>
#include <string>

namespace ornix::v2 {

// Constraint check of a Dense1D layer, in the order its rules run.
inline constexpr const char* kMsgFnpInputBits = "Input should be 4-bit or 8-bit.";
inline constexpr const char* kMsgFnpOutputBits = "Output bits should be 4, 8 or > 8.";
inline constexpr const char* kMsgFnpNoActivationOutputBits =
    "Without activation output bitwidth should be 8, 28 or 32.";
inline constexpr const char* kMsgFnpActivationOutputBits = "With activation output bitwidth should be 4 or 8.";
inline constexpr const char* kMsgFnp4bitActivationNotRelu = "4-bit activation is not supported with LUT.";
inline constexpr const char* kMsgFnpWeightsBits = "Weights bitwidth should be 4-bit or 8-bit.";
inline constexpr const char* kMsgFnp4bitWeightsOutput = "With 4-bit weights, output must be 4-bit or 32-bit.";
inline constexpr const char* kMsgFnpInputBelowWeightsBits = "Input bits should be >= weights bits.";

inline std::string fnp_input_too_large_message(uint32_t max_slots) {
  return "Input dimensions are too large to fit in a FNP. The maximum value is " + std::to_string(max_slots) + ".";
}

// Sizes in bytes.
inline std::string fnp_input_shift_memory_message(uint32_t max_bytes, uint32_t bytes) {
  return "Input shift exceeds memory. Maximum size is " + std::to_string(max_bytes) + " bytes. (got " +
         std::to_string(bytes) + " bytes).";
}
inline std::string fnp_input_memory_message(uint32_t max_bytes, uint32_t bytes) {
  return "Input size exceeds memory. Maximum size is " + std::to_string(max_bytes) + " bytes. (got " +
         std::to_string(bytes) + " bytes).";
}

// Layout and sizes.
inline constexpr const char* kMsgFnpPaddingUndefined =
    "Error when formatting the FNP inputs, the padding is undefined.";
inline constexpr const char* kMsgUnsupportedPadding = "Unsupported padding.";

}  // namespace ornix::v2
