#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Texts of the model's inference, compile and buffer refusals.

namespace ornix::msg {

// Inference inputs. `expected` and `got` are shapes written "(N, 8, 8, 3)" or type names.
inline std::string input_shape_mismatch(const std::string& expected, const std::string& got) {
  return "The model takes inputs of shape " + expected + " for N samples; got " + got + ".";
}
inline std::string input_type_mismatch(const std::string& expected, const std::string& got) {
  return "The model takes " + expected + " inputs; got " + got + ".";
}
inline constexpr const char* kUnsignedInputTypes = "uint8";
inline constexpr const char* kSignedInputTypes = "int8 or int16";
inline std::string input_value_out_of_range(int64_t value, int bits, bool is_signed) {
  return "Input value " + std::to_string(value) + " does not fit the model's " + std::to_string(bits) + "-bit " +
         (is_signed ? "signed" : "unsigned") + " inputs.";
}
inline constexpr const char* kInputsNotRowMajor = "The model takes row-major inputs; got a tensor in reversed layout.";
inline std::string label_count_mismatch(size_t labels, size_t samples) {
  return "fit takes no label, one label for all samples or one per sample; got " + std::to_string(labels) +
         " labels for " + std::to_string(samples) + " samples.";
}
inline std::string predict_with_activation(const std::string& layer) {
  return "Cannot predict with a model whose last layer (" + layer + ") has an activation: use forward.";
}
inline constexpr const char* kFitNotCompiled = "Cannot fit a model that is not compiled: compile it first.";
inline constexpr const char* kMappingStale = "The model's layers changed since it was mapped: map it again.";

// Saved models.
inline constexpr const char* kModelBufferUnreadable = "The model buffer is truncated or corrupt.";
inline std::string model_buffer_too_large(size_t size, size_t max) {
  return "A model buffer of " + std::to_string(size) + " bytes exceeds the " + std::to_string(max) +
         " bytes the format holds.";
}
inline std::string model_too_large_to_save(size_t size, size_t max) {
  return "The model cannot be saved: it needs about " + std::to_string(size) + " bytes and a model buffer holds " +
         std::to_string(max) + ".";
}
inline std::string invalid_saved_layer(size_t index, const std::string& name, const std::string& reason) {
  return "The model buffer's layer " + std::to_string(index) + " (" + name + ") is invalid: " + reason;
}
inline std::string saved_layer_name_not_utf8(size_t index) {
  return "The model buffer's layer " + std::to_string(index) + " is invalid: its name is not UTF-8 text.";
}
inline constexpr const char* kSavedNameNotUtf8 =
    "a name of its parameters, variables or learning values is not UTF-8 text.";
inline constexpr const char* kSavedNamesUnordered = "its names are not in ascending order or repeat.";
inline constexpr const char* kSavedLayerUnlinked = "it has no inbound layer.";
inline std::string saved_inbound_not_earlier(uint32_t inbound) {
  return "its inbound layer " + std::to_string(inbound) + " is not an earlier layer.";
}
inline std::string saved_variable_invalid(const std::string& variable, const std::string& problem) {
  return "variable " + variable + " " + problem;
}
inline std::string saved_unknown_type(uint32_t type) { return "has the unknown type " + std::to_string(type) + "."; }
inline std::string saved_unknown_layout(uint32_t layout) {
  return "has the unknown layout " + std::to_string(layout) + ".";
}
inline constexpr const char* kSavedBadDimensions = "has no dimension, more than 4 or a dimension of 0.";
inline std::string saved_data_size(size_t bytes, size_t expected) {
  return "holds " + std::to_string(bytes) + " bytes for a tensor of " + std::to_string(expected) + " bytes.";
}

}  // namespace ornix::msg
