#pragma once

#include <stdexcept>
#include <string>

namespace ornix::v1 {

// Errors of the generation-1 fully connected back end: "Backend hardware(FullyConnected): "
// followed by the text.
class FnpError : public std::runtime_error {
 public:
  explicit FnpError(const std::string& text) : std::runtime_error("Backend hardware(FullyConnected): " + text) {}
};

}  // namespace ornix::v1
