#pragma once

#include <string>

namespace ornix::program {

// The text of the `Error` that `action` throws; "no error" when it returns. An exception of
// another type escapes and fails the test.
template <typename Error, typename Action>
std::string thrown(Action&& action) {
  try {
    action();
  } catch (const Error& error) {
    return error.what();
  }
  return "no error";
}

}  // namespace ornix::program
