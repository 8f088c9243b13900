#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Texts of the refusals of the Model bindings (construction, model file, class editing,
// inference and evaluation). Python programs match them word for word: do not reword them.

namespace ornix::python::msg {

inline constexpr const char* kFileNotFound = "File not found.";
inline constexpr const char* kFileEmpty = "File is empty.";
inline constexpr const char* kCorruptedBuffer = "Cannot uncompress corrupted serialization buffer";
inline constexpr const char* kEmbeddedNull = "embedded null byte";  // as Python's open
inline constexpr const char* kInvalidLayer = "Invalid layer received";
inline constexpr const char* kClassesNotPositive = "The number of classes to add must be positive.";
inline constexpr const char* kTooManyClasses = "The number of classes to add is too large.";
inline constexpr const char* kNoLayer = "The model must have at least one layer.";
inline constexpr const char* kLastNotFullyConnected = "The last layer must be a FullyConnected layer.";
inline constexpr const char* kLastNotCompiled = "The last layer must be compiled.";
inline constexpr const char* kNoLayersToRun = "Cannot perform an inference on a model with no layers";
inline constexpr const char* kSignedInputDtype = "Input dtype should be int8 or int16";
inline constexpr const char* kUnsignedInputDtype = "Input dtype should be uint8";
inline constexpr const char* kLabelsNot1D = "Labels must be 1-D.";
inline constexpr const char* kLabelsSize = "Inputs and labels must have the same size.";
inline constexpr const char* kLabelsNotInt32 = "Labels must be int32.";

inline std::string unable_to_save(const std::string& path) { return "Unable to open file for saving model: " + path; }
inline std::string save_failed(const std::string& path) { return "Unable to write the model file: " + path; }

inline std::string too_few_classes(int64_t count) {
  return "Cannot classify with " + std::to_string(count) + "class(es).";
}

inline std::string neurons_not_multiple(uint32_t neurons, int64_t classes) {
  return "The number of neurons [" + std::to_string(neurons) + "] is not a multiple of  the number of classes [" +
         std::to_string(classes) + "].";
}

inline std::string samples_exceed_labels(size_t samples, size_t labels) {
  return "The model answered " + std::to_string(samples) + " samples for " + std::to_string(labels) + " labels.";
}

inline std::string cannot_evaluate(const char* type_name) {
  return std::string("cannot evaluate on a Tensor of type ") + type_name;
}

}  // namespace ornix::python::msg
