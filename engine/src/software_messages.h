#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Texts of the software runs' refusals.

namespace ornix::msg {

inline std::string software_layer_failed(const std::string& layer, const std::string& error) {
  return "Error when running layer '" + layer + "' in software: " + error;
}
inline constexpr const char* kSoftwareUnsupported =
    "StatefulRecurrent layers hold no weights for their state update and cannot run in software.";
inline std::string software_value_out_of_range(const std::string& what) {
  return "Values of " + what + " do not fit their type.";
}
inline std::string software_sample_shape(size_t given, size_t expected) {
  return "A sample of " + std::to_string(given) + " values does not match the model's input of " +
         std::to_string(expected) + " values.";
}
inline std::string software_sample_type(const char* given) {
  return std::string("Samples of type ") + given + " cannot run in software (uint8, int8, int16 or int32 expected).";
}
inline std::string software_channel_count(const std::string& variable, size_t given, size_t channels) {
  return "Variable " + variable + " holds " + std::to_string(given) + " values for " + std::to_string(channels) +
         " channels.";
}
inline std::string software_weight_depth(size_t given, size_t depth) {
  return "Rows of " + std::to_string(given) + " values cannot be multiplied by weights of " + std::to_string(depth) +
         " rows.";
}
inline constexpr const char* kSoftwareInputNotUnsigned = "Its input must hold unsigned 8-bit values.";
inline std::string software_output_shape(const std::string& computed, const std::string& declared) {
  return "The computed output " + computed + " differs from the declared output " + declared + ".";
}

// Learning.
inline std::string software_cannot_learn(const std::string& layer) {
  return "Layer " + layer + " cannot learn: fit needs a last FullyConnected layer compiled with learning parameters.";
}
inline std::string label_count(size_t labels, size_t samples) {
  return "fit takes no label, one label or one per sample (got " + std::to_string(labels) + " labels for " +
         std::to_string(samples) + " samples).";
}
inline std::string learning_value(const std::string& key, double value, const std::string& range) {
  return "Learning parameter " + key + " must be " + range + " (got " + std::to_string(value) + ").";
}

}  // namespace ornix::msg
