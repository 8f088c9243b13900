#include "program/register_field.h"

#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <stdexcept>

#include "program/thrown.h"

namespace ornix::program {
namespace {

TEST(SetField, WritesOnlyTheFieldBitsAndRefusesWiderValues) {
  uint32_t word = 0xFFFFFFFF;
  set_field(&word, {4, 1}, 0);
  set_field(&word, {8, 8}, 0xAB);
  EXPECT_EQ(word, 0xFFFFABEFu);
  set_field(&word, {0, 32}, 0x0BADF00D);
  EXPECT_EQ(word, 0x0BADF00Du);

  EXPECT_EQ(thrown<std::runtime_error>([&] { set_field(&word, {3, 1}, 2); }),
            "Attempted to write value 2 into a 1-bit field, which will cause an overflow.");
  EXPECT_EQ(thrown<std::runtime_error>([&] { set_field(&word, {5, 0}, 1); }),
            "Attempted to write value 1 into a 0-bit field, which will cause an overflow.");
  EXPECT_EQ(thrown<std::runtime_error>([&] { set_field(&word, {0, 31}, 0x80000000); }),
            "Attempted to write value 2147483648 into a 31-bit field, which will cause an overflow.");
  EXPECT_EQ(word, 0x0BADF00Du);
}

TEST(Int32ToIntN, TwoAndFourBitCodesAndTheirRanges) {
  EXPECT_EQ((std::array{int32_to_intN<2>(-2), int32_to_intN<2>(-1), int32_to_intN<2>(1)}), (std::array{2u, 3u, 1u}));
  EXPECT_EQ((std::array{int32_to_intN<4>(-8), int32_to_intN<4>(7)}), (std::array{8u, 7u}));
  EXPECT_EQ(thrown<std::runtime_error>([] { int32_to_intN<2>(2); }), "2 cannot fit in a 2 bits signed integer.");
  EXPECT_EQ(thrown<std::runtime_error>([] { int32_to_intN<2>(-3); }), "-3 cannot fit in a 2 bits signed integer.");
  EXPECT_EQ(thrown<std::runtime_error>([] { int32_to_intN<4>(INT_MIN); }),
            "-2147483648 cannot fit in a 4 bits signed integer.");
}

}  // namespace
}  // namespace ornix::program
