#include "ornix/tensor.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "ornix/panic.h"
#include "ornix/shape.h"

namespace ornix {
namespace {

using ::testing::ElementsAre;
using ::testing::StrEq;
using ::testing::ThrowsMessage;

auto panics_with(const std::string& text) { return ThrowsMessage<std::runtime_error>(StrEq(text)); }

// The int16 tensor holding 0, 1, 2, ... in storage order.
std::shared_ptr<Dense> counting(const Shape& shape, Layout layout) {
  std::vector<int16_t> values(shape.element_count());
  for (size_t i = 0; i < values.size(); ++i) values[i] = static_cast<int16_t>(i);
  return Dense::copy(values.data(), values.size() * 2, TensorType::int16, shape, layout);
}

std::vector<int16_t> contents(const Dense& tensor) {
  return {tensor.data<int16_t>(), tensor.data<int16_t>() + tensor.size()};
}

TEST(TensorType, NamesForMessages) {
  EXPECT_STREQ(tensor_type_name(TensorType::uint2), "uint2");
  EXPECT_STREQ(tensor_type_name(TensorType{10}), "unknown");
}

TEST(DenseTypedAccess, AcceptsOnlyTheStorageElement) {
  EXPECT_EQ(*Dense::create(TensorType::int4, {1})->data<int8_t>(), 0);
  EXPECT_EQ(*Dense::create(TensorType::uint2, {1})->data<uint8_t>(), 0);
  EXPECT_THAT([] { Dense::create(TensorType::int8, {2})->data<int32_t>(); },
              panics_with("Wrong requested type i for a tensor of type int8."));
  EXPECT_THAT([] { Dense::create(TensorType::int4, {2})->data<uint8_t>(); },
              panics_with("Wrong requested type h for a tensor of type int4."));
  EXPECT_THAT([] { Dense::create(TensorType::float32, {2})->at<int8_t>({0}); },
              panics_with("Wrong requested type a for a tensor of type float32."));
  EXPECT_THAT([] { Dense::create(TensorType::int16, {2})->data<uint8_t>(); },
              panics_with("Wrong requested type h for a tensor of type int16."));
}

TEST(DenseConstruction, ZeroFillsAndCopiesExactByteCounts) {
  const auto zeros = Dense::create(TensorType::int32, {2, 3});
  EXPECT_EQ(zeros->byte_size(), 24u);
  EXPECT_EQ(std::vector<uint8_t>(zeros->buffer(), zeros->buffer() + 24), std::vector<uint8_t>(24, 0));

  const int32_t values[] = {7, -1};
  EXPECT_EQ(Dense::copy(values, 8, TensorType::int32, {2})->at<int32_t>({1}), -1);
  EXPECT_THAT([&] { Dense::copy(values, 4, TensorType::int32, {2}); },
              ThrowsMessage<std::invalid_argument>(StrEq("Dense::copy received 4 bytes for a tensor of 8 bytes")));
  EXPECT_THROW(Dense::copy(nullptr, 8, TensorType::int32, {2}), std::invalid_argument);
  EXPECT_THAT([] { Dense::create(TensorType{12}, {2}); }, panics_with("Cannot create a tensor of unknown type 12"));
  EXPECT_THAT([] { Dense::create(TensorType::bit, {65536, 65536}); },
              panics_with("Tensor shape size 4294967296 exceeds maximum shape size (4294967295)"));
}

TEST(DenseStrides, RowMajorAndReversedWithCoordinatesInRange) {
  EXPECT_THAT(Dense::eval_strides({2, 3, 4}, Layout::RowMajor), ElementsAre(12, 4, 1));
  EXPECT_THAT(Dense::eval_strides({2, 3, 4}, Layout::Reversed), ElementsAre(1, 2, 6));
  // Reversed (2, 3): element (i, j) is stored at i + 2j.
  const auto reversed = counting({2, 3}, Layout::Reversed);
  EXPECT_EQ(reversed->at<int16_t>({0, 1}), 2);
  EXPECT_EQ(reversed->at<int16_t>({1, 2}), 5);

  const auto tensor = counting({2, 3}, Layout::RowMajor);
  EXPECT_EQ(tensor->offset_of({1, 1}), 4u);
  EXPECT_THAT([&] { tensor->offset_of({2, 0}); }, panics_with("Coordinates are out-of-range"));
  EXPECT_THAT([&] { tensor->offset_of({0}); }, panics_with("Coordinates are out-of-range"));
}

TEST(DenseSplit, OneFramePerIndexOfTheFirstDimension) {
  const auto rows = counting({3, 2}, Layout::RowMajor)->split();
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[2]->shape(), (Shape{2}));
  EXPECT_THAT(contents(*rows[2]), ElementsAre(4, 5));
  EXPECT_EQ(counting({4}, Layout::RowMajor)->split()[3]->shape(), (Shape{1}));

  // Reversed (2, 3): frame i holds the elements (i, j), stored at i + 2j.
  const auto columns = counting({2, 3}, Layout::Reversed)->split();
  ASSERT_EQ(columns.size(), 2u);
  EXPECT_EQ(columns[1]->layout(), Layout::Reversed);
  EXPECT_THAT(contents(*columns[1]), ElementsAre(1, 3, 5));
  // Reversed (2, 2, 2): element (i, j, k) at i + 2j + 4k; frame 1 stores (j, k) at j + 2k.
  const auto planes = counting({2, 2, 2}, Layout::Reversed)->split();
  EXPECT_EQ(planes[1]->shape(), (Shape{2, 2}));
  EXPECT_THAT(contents(*planes[1]), ElementsAre(1, 3, 5, 7));

  EXPECT_THROW(Dense::create(TensorType::int8, {})->split(), std::invalid_argument);
}

TEST(Panic, ThrowsTheFormattedTextCutAt256Characters) {
  EXPECT_THAT([] { panic("Wrong requested type %s.", "i"); }, panics_with("Wrong requested type i."));
  const std::string long_text(300, 'x');
  EXPECT_THAT([&] { panic("%s", long_text.c_str()); }, panics_with(std::string(256, 'x')));
}

TEST(Shape, RefusesZeroDimensionsMoreThanFourAndMoreThanFourBillionElements) {
  const auto zero = panics_with("Cannot have a shape with a dimension set to 0");
  EXPECT_THAT(([] { Shape{2, 0, 3}; }), zero);
  const std::array<uint32_t, 2> zero_dims{0, 4};
  EXPECT_THAT([&] { Shape{std::span<const uint32_t>(zero_dims)}; }, zero);
  EXPECT_THAT(([] { Shape{1, 2, 3, 4, 5}; }), panics_with("Cannot have a shape with 5 dimensions (max 4)"));
  EXPECT_EQ(Shape::unchecked(std::array<uint32_t, 3>{0, 4, 4}).element_count(), 0u);

  EXPECT_EQ(Shape{}.element_count(), 1u);
  EXPECT_EQ((Shape{65535, 65537}.checked_element_count()), 4294967295u);
  EXPECT_EQ((Shape{0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF}.element_count()), UINT64_MAX);
  EXPECT_THAT(([] { Shape{65536, 65536, 2}.checked_element_count(); }),
              panics_with("Tensor shape size 8589934592 exceeds maximum shape size (4294967295)"));
  EXPECT_NE((Shape{2, 3}), (Shape{3, 2}));
  EXPECT_NE((Shape{2, 3}), (Shape{2, 3, 1}));
}

template <typename T>
int bitwidth_of(TensorType type, const std::vector<T>& values) {
  const uint32_t count = static_cast<uint32_t>(values.size());
  return evaluate_bitwidth(*Dense::copy(values.data(), values.size() * sizeof(T), type, {count}));
}

TEST(EvaluateBitwidth, TwosComplementWidthForSignedTypesBitLengthForUnsigned) {
  EXPECT_EQ(bitwidth_of<int8_t>(TensorType::int8, {-8, -1, 0, 7}), 4);
  EXPECT_EQ(bitwidth_of<int8_t>(TensorType::int8, {8}), 5);
  EXPECT_EQ(bitwidth_of<int8_t>(TensorType::int8, {-9}), 5);
  EXPECT_EQ(bitwidth_of<int8_t>(TensorType::bit, {0, 0}), 1);
  EXPECT_EQ(bitwidth_of<int32_t>(TensorType::int32, {INT32_MIN, 5}), 32);
  EXPECT_EQ(bitwidth_of<uint8_t>(TensorType::uint8, {31, 3}), 5);
  EXPECT_EQ(bitwidth_of<uint8_t>(TensorType::uint8, {32}), 6);
  EXPECT_EQ(bitwidth_of<uint8_t>(TensorType::uint8, {0, 0}), 0);
  EXPECT_THROW(bitwidth_of<float>(TensorType::float32, {1.0f}), std::invalid_argument);
}

TEST(ThresholdSixteenths, SixteenTimesEachStepRoundedToNearest) {
  const std::vector<float> steps{0.5f, 1048575.0f, 0.03125f, -0.03125f, 0.09f, -2.0f};
  const auto t16 = get_threshold_t16_from_act_steps(*Dense::copy(steps.data(), 24, TensorType::float32, {6}));
  EXPECT_EQ(t16->type(), TensorType::int32);
  // 0.09 x 16 = 1.44 -> 1; 1/32 x 16 = 0.5 -> 1 (halves away from zero).
  EXPECT_THAT(std::vector<int32_t>(t16->data<int32_t>(), t16->data<int32_t>() + 6),
              ElementsAre(8, 16777200, 1, -1, 1, -32));

  for (const float bad : {134217728.0f, -134217744.0f, NAN, INFINITY}) {
    EXPECT_THROW(get_threshold_t16_from_act_steps(*Dense::copy(&bad, 4, TensorType::float32, {1})),
                 std::invalid_argument);
  }
  EXPECT_THROW(get_threshold_t16_from_act_steps(*Dense::create(TensorType::int32, {1})), std::runtime_error);
}

}  // namespace
}  // namespace ornix
