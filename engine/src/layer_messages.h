#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Texts of the layer, parameter, variable and model refusals. The first group is relied on
// word for word by the back ends and the bindings; do not reword it.

namespace ornix::msg {

inline std::string key_not_found(const std::string& key) { return "Key " + key + " not found"; }
inline constexpr const char* kInputSizeNotSet = "Cannot get input size before it is set.";
inline constexpr const char* kOutputSizeNotSet = "Cannot get output size before it is set.";
inline std::string not_built(const std::string& layer) { return "The layer " + layer + " is not built."; }

// The engine's own refusals.
inline constexpr const char* kNullLayerParams = "Layer parameters must not be null.";
inline constexpr const char* kNullLearningParams = "Learning parameters must not be null.";
inline std::string no_layer_class(uint32_t type) {
  return "No layer class serves layer type " + std::to_string(type) + ".";
}
inline std::string params_of_other_type(uint32_t given, uint32_t expected) {
  return "Parameters of layer type " + std::to_string(given) + " cannot make a layer of type " +
         std::to_string(expected) + ".";
}
inline std::string param_out_of_range(const std::string& layer, const std::string& key, int32_t value, int32_t min,
                                      int32_t max) {
  return "Layer " + layer + ": parameter " + key + " must be between " + std::to_string(min) + " and " +
         std::to_string(max) + " (got " + std::to_string(value) + ").";
}
inline std::string missing_param(const std::string& layer, const std::string& key) {
  return "Layer " + layer + ": parameter " + key + " is required.";
}
inline std::string pool_size_out_of_range(const std::string& layer, const std::string& key, int32_t value) {
  return "Layer " + layer + ": parameter " + key + " must be -1 (global) or at least 1 (got " +
         std::to_string(value) + ").";
}
// Windows wider or taller than what they slide over, without padding: (width, height) pairs.
inline std::string kernel_gives_no_output(const std::string& layer, uint32_t kernel_x, uint32_t kernel_y,
                                          uint32_t width, uint32_t height) {
  return "Layer " + layer + " gives no output: its " + std::to_string(kernel_x) + "x" + std::to_string(kernel_y) +
         " kernel does not fit its " + std::to_string(width) + "x" + std::to_string(height) +
         " input with Valid padding.";
}
inline std::string pool_gives_no_output(const std::string& layer, int32_t pool_x, int32_t pool_y, uint32_t width,
                                        uint32_t height) {
  return "Layer " + layer + " gives no output: its " + std::to_string(pool_x) + "x" + std::to_string(pool_y) +
         " pool window does not fit the " + std::to_string(width) + "x" + std::to_string(height) +
         " output of its convolution with Valid padding.";
}

inline std::string output_too_large(const std::string& layer, uint64_t values, uint64_t max) {
  return "Layer " + layer + " would output " + std::to_string(values) + " values; a tensor holds at most " +
         std::to_string(max) + ".";
}
inline std::string variables_too_large(const std::string& layer, uint64_t bytes, uint64_t max) {
  return "Layer " + layer + " would need " + std::to_string(bytes) + " bytes of variables; a layer holds at most " +
         std::to_string(max) + " bytes.";
}
inline std::string variable_not_found(const std::string& name) { return "Variable " + name + " not found"; }
inline std::string null_variable(const std::string& name) {
  return "Variable " + name + " cannot be set to a null tensor.";
}
// Worded as the bindings' refusal of an array of another element type.
inline std::string variable_type_mismatch(const std::string& name, const std::string& declared,
                                          const std::string& given) {
  return "Unsupported variable type for " + name + " expected " + declared + " received " + given;
}
inline std::string variable_shape_mismatch(const std::string& name, const std::string& stored,
                                           const std::string& given) {
  return "Variable " + name + " of shape " + stored + " cannot take a tensor of shape " + given + ".";
}

inline constexpr const char* kNullLayer = "Cannot add a null layer.";
inline std::string foreign_layer(const std::string& layer) {
  return "Layer " + layer + " was not made by Layer::create.";
}
inline std::string layer_in_other_model(const std::string& layer) {
  return "Layer " + layer + " already belongs to a model.";
}
inline std::string duplicate_layer_name(const std::string& layer) {
  return "The model already has a layer named " + layer + ".";
}
inline std::string not_an_input_layer(const std::string& layer) {
  return "Layer " + layer + " is not an input layer and cannot start a model.";
}
inline std::string input_layer_not_first(const std::string& layer) {
  return "Input layer " + layer + " can only start a model.";
}
inline std::string null_inbound(const std::string& layer) { return "Layer " + layer + " has a null inbound layer."; }
inline std::string inbound_not_in_model(const std::string& inbound, const std::string& layer) {
  return "Inbound layer " + inbound + " of layer " + layer + " is not in the model.";
}
// `expected` reads "exactly 1", "at least 2"...
inline std::string inbound_count(const std::string& layer, const std::string& expected, size_t given) {
  return "Layer " + layer + " takes " + expected + " inbound layers (got " + std::to_string(given) + ").";
}
inline std::string unequal_input_shapes(const std::string& layer) {
  return "Layer " + layer + " needs inputs of equal shapes.";
}
inline std::string unequal_input_planes(const std::string& layer) {
  return "Layer " + layer + " needs inputs of equal width and height.";
}
inline std::string input_mismatch(const std::string& layer) {
  return "The input of layer " + layer + " does not match the output of its inbound layer.";
}
inline constexpr const char* kEmptyModel = "The model has no layers.";
inline std::string layer_index_out_of_range(int index, size_t count) {
  return "Layer index " + std::to_string(index) + " is out of range (the model has " + std::to_string(count) +
         " layers).";
}
inline std::string no_layer_named(const std::string& layer) { return "The model has no layer named " + layer + "."; }

// Mapping and inference.
inline constexpr const char* kNoHardwareBackend = "No hardware back end is registered with the engine.";
inline constexpr const char* kNullDevice = "A model can only be mapped onto a device.";
inline constexpr const char* kNullInputs = "No inputs given to the model.";
inline std::string layer_not_mapped(const std::string& layer) {
  return "Layer " + layer + " is not mapped on the device: a mapped model runs on the device only.";
}
inline std::string sequence_cannot_run(const std::string& sequence) { return "Sequence " + sequence + " cannot run samples."; }
inline std::string sequence_output_count(const std::string& sequence, size_t inputs, size_t outputs) {
  return "Sequence " + sequence + " returned " + std::to_string(outputs) + " outputs for " + std::to_string(inputs) +
         " samples.";
}
inline constexpr const char* kOutputsDiffer = "The outputs of the samples differ in type or shape.";
inline constexpr const char* kOutputTooManyDims = "The outputs of the samples have more than three dimensions.";

}  // namespace ornix::msg
