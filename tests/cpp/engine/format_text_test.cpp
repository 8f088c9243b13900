#include "format_text.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace ornix {
namespace {

TEST(IsUtf8, AcceptsWhatPythonDecodesAndNothingElse) {
  const std::vector<std::pair<std::string, bool>> rows{
      {"", true},
      {"conv_1", true},
      {"caf\xc3\xa9", true},                 // U+00E9
      {"\xf0\x9f\x98\x80", true},            // U+1F600
      {"\xf4\x8f\xbf\xbf", true},            // U+10FFFF, the last code point
      {std::string("a\0b", 3), true},        // NUL is a code point
      {"\xff", false},                       // no lead byte has five leading ones
      {"\x80", false},                       // a continuation byte alone
      {"\xc3", false},                       // cut short
      {"\xc0\x80", false},                   // overlong NUL
      {"\xf0\x8f\xbf\xbf", false},           // overlong U+FFFF
      {"\xed\xa0\x80", false},               // U+D800, a surrogate
      {"\xf4\x90\x80\x80", false},           // U+110000
  };
  for (const auto& [text, expected] : rows) EXPECT_EQ(is_utf8(text), expected) << testing::PrintToString(text);
}

}  // namespace
}  // namespace ornix
