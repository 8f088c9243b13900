#pragma once

#include <string>

// Texts of the refusals of the layer bindings. Python programs match them word for word.

namespace ornix::python::msg {

// A name that is neither a parameter nor a composite parameter name.
inline std::string key_not_found(const std::string& key) { return "Key " + key + " not found"; }

}  // namespace ornix::python::msg
