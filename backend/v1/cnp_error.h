#pragma once

#include <stdexcept>
#include <string>

namespace ornix::v1 {

// Errors of the generation-1 CNP back end: "Backend hardware(CNP): " followed by the text.
class CnpError : public std::runtime_error {
 public:
  explicit CnpError(const std::string& text) : std::runtime_error("Backend hardware(CNP): " + text) {}
};

}  // namespace ornix::v1
