#pragma once

#include <string>

// Texts of the refusals of the layer bindings. Python programs match them word for word.

namespace ornix::python::msg {

// A name that is neither a parameter nor a composite parameter name.
inline std::string key_not_found(const std::string& key) { return "Key " + key + " not found"; }

// Names given as bytes that are not UTF-8: Python could never read them back. `quoted` is the
// bytes' Python repr.
inline std::string layer_name_not_text(const std::string& quoted) {
  return "The layer name " + quoted + " is not UTF-8 text.";
}
inline std::string parameter_name_not_text(const std::string& quoted) {
  return "The parameter name " + quoted + " is not UTF-8 text.";
}

}  // namespace ornix::python::msg
