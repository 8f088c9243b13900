#include <gtest/gtest.h>

#include <numeric>
#include <stdexcept>
#include <vector>

#include "backend/v2/shift_lut_format.h"
#include "backend_v2/register_format_fixtures.h"
#include "program/thrown.h"

namespace ornix::v2 {
namespace {

using program::thrown;
using test::s32;
using test::s8;
using test::u8;
using Words = std::vector<uint32_t>;

// 1, 2, 3 ... count.
std::shared_ptr<Dense> counting(std::size_t count) {
  std::vector<uint8_t> values(count);
  std::iota(values.begin(), values.end(), uint8_t{1});
  return u8(values);
}

TEST(InputShift, PacksBytesLittleEndianInEntriesOfEight) {
  const auto nine = counting(9);
  const Words kNineShifts{0x04030201, 0x08070605, 0x00000009, 0x00000000};  // bytes 9-15 zero
  EXPECT_EQ(format_input_shift(*nine), kNineShifts);
  EXPECT_EQ(format_input_shift(*counting(24), 16, 8), (Words{0x14131211, 0x18171615}));  // values 16 to 23

  EXPECT_EQ(thrown<std::invalid_argument>([] { format_input_shift(*counting(24), 20, 8); }),
            "The input shift holds 24 values but 8 are read from index 20.");
  EXPECT_EQ(thrown<std::invalid_argument>([] { format_input_shift(*counting(24), 0xFFFFFFF8, 16); }),
            "The input shift holds 24 values but 16 are read from index 4294967288.");
}

TEST(MergeLayerShift, OneByteOfDifferenceSumCodeAndOrderPerChannel) {
  // Channel: X, Y, Z -> |X - Y| + 128 (X <= Y) + 16 code3(max(X, Y) + Z)
  //   0: 2, 5, -3 -> 3 + 128 + 16 x 2 = 0xA3      1: 5, 2, -2 -> 3 + 16 x 3 = 0x33
  //   2: 7, 7, -4 -> 128 + 16 x 3 = 0xB0          3: 0, 3, -7 -> 3 + 128 + 16 x 4 (-4) = 0xC3
  //   4: 1, 0, -1 -> 1 + 16 x 0 = 0x01
  const auto a = u8({2, 5, 7, 0, 1});
  const auto b = u8({5, 2, 7, 3, 0});
  const auto c = s8({-3, -2, -4, -7, -1});
  EXPECT_EQ(format_merge_layer_shift(a, b, c, 0, 5), (Words{0xC3B033A3, 0x00000001}));
  EXPECT_EQ(format_merge_layer_shift(a, b, c, 1, 2), Words{0x0000B033});
  EXPECT_EQ(format_merge_layer_shift(a, b, c, 0, 0), Words{});

  // Coordinate i goes through dimension 0's stride: (3, 2) row-major reads elements 0, 2, 4.
  const auto strided = u8({2, 99, 5, 99, 7, 99}, Shape{3, 2});
  EXPECT_EQ(format_merge_layer_shift(strided, b, c, 0, 3), Words{0x00B033A3});
  // Channel 3 would lie at offset 6 of 6 elements.
  EXPECT_EQ(thrown<std::runtime_error>([&] { format_merge_layer_shift(strided, b, s8({-2, -5, -7, 0}), 0, 4); }),
            "Coordinates are out-of-range");
}

TEST(MergeLayerShift, RefusesSumsOutOfRangeMissingAndMistypedTensors) {
  const auto zero = u8({0});
  EXPECT_EQ(thrown<std::runtime_error>([] { format_merge_layer_shift(u8({5}), u8({2}), s8({-1}), 0, 1); }),
            "4 cannot fit in a 3 bits signed integer.");
  EXPECT_EQ(thrown<std::runtime_error>([&] { format_merge_layer_shift(zero, zero, s8({-5}), 0, 1); }),
            "-5 cannot fit in a 3 bits signed integer.");
  EXPECT_EQ(thrown<std::invalid_argument>([&] { format_merge_layer_shift(zero, nullptr, s8({0}), 0, 1); }),
            "Merge-layer shifts need all three shift tensors.");
}

TEST(LookupTables, FourteenBitCodesTwoPerCnpWordOnePerHrcWord) {
  std::vector<int32_t> values(2048, 0);
  values[0] = -1;
  values[1] = 8191;
  values[2] = -8192;
  values[3] = 5;
  values[2047] = -2;
  const Words cnp = format_lut_values_for_cnp(s32(values).get());
  ASSERT_EQ(cnp.size(), 1024u);
  EXPECT_EQ((Words{cnp[0], cnp[1], cnp[2], cnp[1023]}), (Words{0x1FFF3FFF, 0x00052000, 0, 0x3FFE0000}));
  const Words hrc = format_lut_values_for_hrc(s32(values).get());
  ASSERT_EQ(hrc.size(), 2048u);
  EXPECT_EQ((Words{hrc[0], hrc[1], hrc[2], hrc[3], hrc[4], hrc[2047]}), (Words{0x3FFF, 0x1FFF, 0x2000, 5, 0, 0x3FFE}));

  values.push_back(1 << 20);  // the CNP table does not read a 2049th value
  EXPECT_EQ(format_lut_values_for_cnp(s32(values).get()), cnp);
  EXPECT_EQ(thrown<std::runtime_error>([&] { format_lut_values_for_hrc(s32(values).get()); }), "Wrong size for LUT.");
}

TEST(LookupTables, RefusesWrongSizesValuesAndMissingTables) {
  EXPECT_EQ(thrown<std::runtime_error>([&] { format_lut_values_for_cnp(s32(std::vector<int32_t>(2047)).get()); }),
            "Wrong size for LUT.");
  std::vector<int32_t> values(2048, 0);
  values[7] = 8192;
  EXPECT_EQ(thrown<std::runtime_error>([&] { format_lut_values_for_cnp(s32(values).get()); }),
            "8192 cannot fit in a 14 bits signed integer.");
  values[7] = -8193;
  EXPECT_EQ(thrown<std::runtime_error>([&] { format_lut_values_for_hrc(s32(values).get()); }),
            "-8193 cannot fit in a 14 bits signed integer.");
  EXPECT_EQ(thrown<std::invalid_argument>([] { format_lut_values_for_cnp(nullptr); }),
            "A lookup-table activation needs its lookup table tensor.");
}

}  // namespace
}  // namespace ornix::v2
