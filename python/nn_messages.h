#pragma once

#include <string>

// Texts of the refusals of the nn submodule's own checks. Python programs match them word for
// word.

namespace ornix::python::msg {

// `what` names the array ("conv2d weights"); `count` is its number of dimensions.
inline std::string nn_needs_two_dimensions(const char* what, long count) {
  return std::string(what) + " must have at least 2 dimensions, got " + std::to_string(count) + ".";
}

}  // namespace ornix::python::msg
