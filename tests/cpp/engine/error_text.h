#pragma once

#include <exception>
#include <string>

namespace ornix {

// The text of the exception `action` throws; "no error" when it returns.
template <typename Action>
std::string error_text(Action&& action) {
  try {
    action();
  } catch (const std::exception& error) {
    return error.what();
  }
  return "no error";
}

}  // namespace ornix
