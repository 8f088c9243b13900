#include "ornix/panic.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace ornix {
namespace {

std::string panic_text(const char* format, const std::string& argument) {
  try {
    panic(format, argument.c_str());
  } catch (const std::runtime_error& error) {
    return error.what();
  }
  return "panic returned";
}

TEST(Panic, ThrowsTheFormattedText) {
  EXPECT_EQ(panic_text("Wrong requested type %s.", "i"), "Wrong requested type i.");
}

TEST(Panic, KeepsTheFirst256Characters) {
  const std::string long_text(300, 'x');
  EXPECT_EQ(panic_text("%s", long_text), std::string(256, 'x'));
}

}  // namespace
}  // namespace ornix
