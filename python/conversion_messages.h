#pragma once

#include <string>

// Texts of the refusals of the array conversions, the variables view, evaluate_bitwidth and the
// metrics table. Python programs match them word for word: do not reword them.

namespace ornix::python::msg {

inline constexpr const char* kInvalidSourceArray = "Invalid source array.";
inline constexpr const char* kLabelsNotIntegers = "fit method expects integers as labels";
inline constexpr const char* kBitwidthArrayType = "Wrong py::array type: cannot evaluate the bitwidth.";

inline std::string dense_dimension_count(long count) {
  return "Cannot instantiate a Dense with " + std::to_string(count) + " dimensions (min 1, max 4).\n";
}

// An array that describes more elements than a tensor holds (Shape::kMaxElements).
inline std::string array_too_large(long long count, unsigned long long limit) {
  return "An array of " + std::to_string(count) + " elements cannot become a tensor (at most " +
         std::to_string(limit) + " elements).";
}

inline std::string unconvertible_tensor(const char* type_name) {
  return std::string("Unable to convert a tensor of type ") + type_name + "\n";
}

// `received` and `expected` are NumPy's texts of the dtypes ("float64").
inline std::string unsupported_variable_type(const std::string& name, const std::string& expected,
                                             const std::string& received) {
  return "Unsupported variable type for " + name + " expected " + expected + " received " + received;
}

// A variable whose tensor type holds no NumPy element.
inline std::string unsupported_variable_type(const std::string& name, const std::string& received) {
  return "Unsupported variable type for " + name + " " + received;
}

// A NUL in the name would end the text Python receives (here, before anything): it is written \x00.
inline std::string no_such_metrics(const std::string& name) {
  std::string shown;
  for (const char c : name) shown += c == '\0' ? std::string("\\x00") : std::string(1, c);
  return shown + " : no such metrics";
}

}  // namespace ornix::python::msg
