#pragma once

#include <stdexcept>
#include <string>

#include "backend/v2/checker_messages.h"

namespace ornix::v2 {

// Stops a call that needs a step this build does not have yet (`what`, e.g. "The Add layer
// check"): std::runtime_error "<what> is not available yet.".
[[noreturn]] inline void throw_not_available(const std::string& what) {
  throw std::runtime_error(not_available_message(what));
}

}  // namespace ornix::v2
