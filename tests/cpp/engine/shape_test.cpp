#include "ornix/shape.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <stdexcept>

namespace ornix {
namespace {

using ::testing::StrEq;
using ::testing::ThrowsMessage;

TEST(Shape, RefusesZeroDimensionsAndMoreThanFour) {
  const auto zero = ThrowsMessage<std::runtime_error>(StrEq("Cannot have a shape with a dimension set to 0"));
  EXPECT_THAT(([] { Shape{2, 0, 3}; }), zero);
  const std::array<uint32_t, 2> dims{0, 4};
  EXPECT_THAT([&] { Shape{std::span<const uint32_t>(dims)}; }, zero);
  EXPECT_THAT(([] { Shape{1, 2, 3, 4, 5}; }),
              ThrowsMessage<std::runtime_error>(StrEq("Cannot have a shape with 5 dimensions (max 4)")));

  const std::array<uint32_t, 3> unset{0, 4, 4};
  const Shape kept = Shape::unchecked(unset);
  EXPECT_EQ(kept.size(), 3u);
  EXPECT_EQ(kept[0], 0u);
  EXPECT_EQ(kept.element_count(), 0u);
}

TEST(Shape, CountsElementsAndRefusesMoreThanFourBillion) {
  EXPECT_EQ(Shape{}.element_count(), 1u);
  EXPECT_EQ((Shape{2, 3, 4}.element_count()), 24u);
  EXPECT_EQ((Shape{65535, 65537}.checked_element_count()), 4294967295u);
  EXPECT_EQ((Shape{0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF}.element_count()), UINT64_MAX);
  EXPECT_THAT(([] { Shape{65536, 65536, 2}.checked_element_count(); }),
              ThrowsMessage<std::runtime_error>(
                  StrEq("Tensor shape size 8589934592 exceeds maximum shape size (4294967295)")));
}

TEST(Shape, ComparesTheDimensionsInUse) {
  EXPECT_EQ((Shape{2, 3}), (Shape{2, 3}));
  EXPECT_NE((Shape{2, 3}), (Shape{3, 2}));
  EXPECT_NE((Shape{2, 3}), (Shape{2, 3, 1}));
}

}  // namespace
}  // namespace ornix
