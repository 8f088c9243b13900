#include "program/np_split.h"

#include <gtest/gtest.h>

#include <array>
#include <stdexcept>

#include "program/thrown.h"

namespace ornix::program {
namespace {

using Outputs = std::array<uint32_t, 4>;  // row origin, rows, column origin, columns

constexpr PaddingParams kNoPadding{};

NpSpace space(uint32_t x, uint32_t y, uint32_t width, uint32_t height, uint32_t channels = 1) {
  return {x, y, Shape{width, height, channels}};
}

Outputs outputs(const NpSplit& split) {
  return {split.out_row_origin, split.out_rows, split.out_col_origin, split.out_cols};
}

TEST(NpSplit, WholeInputAndInputContainer) {
  // Kernel 3, stride 1 over 8 rows: a = 0, b drops from 7 to 6, out_rows = 1 + (1 - 0 + 6) / 1.
  const NpSplit split(Shape{8, 8, 4}, space(0, 0, 8, 8, 4), space(0, 0, 8, 8, 4), 3, 1, kNoPadding, 0, 1, kNoPadding);
  EXPECT_EQ(outputs(split), (Outputs{0, 8, 0, 8}));
  EXPECT_EQ(split.channels, 4u);
  // The input container is the window width rounded up to four.
  const NpSplit five(Shape{5, 2}, space(0, 0, 5, 2), space(0, 0, 5, 2), 1, 1, kNoPadding, 0, 1, kNoPadding);
  EXPECT_EQ(static_cast<const NpSplitInterface&>(five).icont_size(), 8u);
}

TEST(NpSplit, StrideTwoStartsAtTheFirstKernelCentreInsideTheWindow) {
  // Rows: Y0 = 1 + 5 = 6, YL = 11; a starts at (2 - 3 + 6) / 2 = 2 and rises to 3 (centre 7);
  // b = 11 / 2 = 5; origin (3 + 1) / 2 = 2; B = 5 + 1 = 6; out_rows = 1 - 2 + (2 - 2 + 6) / 2 = 2.
  // Columns: X0 = 7, XL = 12; c = (2 - 3 + 7) / 2 = 3 at once; d falls from 6 to 5; origin
  // 3 / 2 = 1; out_cols = 1 - 1 + 5 / 2 = 2.
  const PaddingParams padding{1, 1, 1, 1};
  const PaddingParams pool_padding{1, 0, 0, 0};
  const NpSplit split(Shape{16, 16}, space(6, 5, 6, 6), space(5, 4, 8, 8), 3, 2, padding, 2, 2, pool_padding);
  EXPECT_EQ(split.y_phase, 0u);            // (1 + 5) mod 2
  EXPECT_EQ(split.x_phase, 1u);            // (1 + 6) mod 2
  EXPECT_EQ(split.y_offset, 0xFFFFFFFFu);  // 4 - 5, wrapped
  EXPECT_EQ(outputs(split), (Outputs{2, 2, 1, 2}));

  // A pool stride of 0 turns every division by it into 0.
  const NpSplit unpooled(Shape{16, 16}, space(6, 5, 6, 6), space(5, 4, 8, 8), 3, 2, padding, 0, 0, pool_padding);
  EXPECT_EQ(outputs(unpooled), (Outputs{0, 1, 0, 1}));
}

TEST(NpSplit, PoolPaddingAfterTheWindowCountsOnlyAtTheInputsLastRowOrColumn) {
  // Window rows 4-7: a = 3, b = 6, origin 3 / 2 = 1. At the edge B = 6 + 2 gives 8 / 2 = 4;
  // away from it 6 / 2 = 3. Columns alike with the right padding.
  const PaddingParams pool_padding{0, 2, 0, 2};
  const auto split = [&](const Shape& input) {
    return NpSplit(input, space(4, 4, 4, 4), space(3, 3, 5, 5), 3, 1, kNoPadding, 2, 2, pool_padding);
  };
  EXPECT_EQ(outputs(split(Shape{12, 8})), (Outputs{1, 4, 1, 3}));
  EXPECT_EQ(outputs(split(Shape{8, 12})), (Outputs{1, 3, 1, 4}));
}

TEST(NpSplit, WindowHoldingNoKernelCentreEndsItsSearch) {
  // One row and column at the origin, kernel 3, stride 2: no output centre lies in it, b = -1,
  // and out_rows = 1 - 0 + nothing (0 < 1 + 0xFFFFFFFF wraps to false).
  const NpSplit split(Shape{4, 4}, space(0, 0, 1, 1), space(0, 0, 2, 2), 3, 2, kNoPadding, 0, 1, kNoPadding);
  EXPECT_EQ(outputs(split), (Outputs{0, 1, 0, 1}));
  EXPECT_EQ(thrown<std::invalid_argument>([] {
              NpSplit(Shape{8, 8}, space(0, 0, 8, 8), space(0, 0, 8, 8), 3, 0, kNoPadding, 0, 1, kNoPadding);
            }),
            "An NP split needs a convolution stride of at least 1.");
}

TEST(TransposedCnpSplit, DoublesTheWindowWithoutPhases) {
  const TransposedCnpSplit split(space(3, 4, 6, 7, 2), space(2, 3, 8, 9, 2));
  const std::array<uint32_t, 15> fields{split.padded_y,      split.padded_x,     split.height, split.width,
                                        split.channels,      split.y_phase,      split.x_phase, split.y_offset,
                                        split.x_offset,      split.padded_height, split.padded_width, split.out_y,
                                        split.out_x,         split.out_height,   split.out_width};
  EXPECT_EQ(fields, (std::array<uint32_t, 15>{3, 2, 7, 6, 2, 0, 0, 0xFFFFFFFF, 0xFFFFFFFF, 9, 8, 8, 6, 14, 12}));
  EXPECT_EQ(static_cast<const NpSplitInterface&>(split).icont_size(), 12u);
}

}  // namespace
}  // namespace ornix::program
