#include "ornix/tensor.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

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

TEST(DenseTypedAccess, AcceptsOnlyTheStorageElement) {
  EXPECT_EQ(*Dense::create(TensorType::int4, {1})->data<int8_t>(), 0);
  EXPECT_EQ(*Dense::create(TensorType::uint2, {1})->data<uint8_t>(), 0);
  // Both types are named as the engine names them.
  const struct {
    std::function<void()> access;
    const char* text;
  } refused[] = {
      {[] { Dense::create(TensorType::int8, {2})->data<int32_t>(); }, "Wrong requested type int32 for a tensor of type int8."},
      {[] { Dense::create(TensorType::float32, {2})->at<int8_t>({0}); }, "Wrong requested type int8 for a tensor of type float32."},
      {[] { Dense::create(TensorType::int32, {2})->data<uint8_t>(); }, "Wrong requested type uint8 for a tensor of type int32."},
      {[] { Dense::create(TensorType::uint4, {2})->data<float>(); }, "Wrong requested type float32 for a tensor of type uint4."},
      {[] { Dense::create(TensorType::bit, {2})->data<int16_t>(); }, "Wrong requested type int16 for a tensor of type bit."},
  };
  for (const auto& c : refused) EXPECT_THAT(c.access, panics_with(c.text));
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

TEST(Shape, RefusesZeroDimensionsMoreThanFourAndMoreThanFourBillionElements) {
  const auto zero = panics_with("Cannot have a shape with a dimension set to 0");
  EXPECT_THAT(([] { Shape{2, 0, 3}; }), zero);
  const std::array<uint32_t, 2> zero_dims{0, 4};
  EXPECT_THAT([&] { Shape{std::span<const uint32_t>(zero_dims)}; }, zero);
  EXPECT_THAT(([] { Shape{1, 2, 3, 4, 5}; }), panics_with("Cannot have a shape with 5 dimensions (max 4)"));
  EXPECT_EQ((Shape{65535, 65537}.checked_element_count()), 4294967295u);
  EXPECT_THAT(([] { Shape{65536, 65536, 2}.checked_element_count(); }),
              panics_with("Tensor shape size 8589934592 exceeds maximum shape size (4294967295)"));
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

// One value among 70 zeros, at the first and last places of the runs read side by side and of
// the values after them.
TEST(EvaluateBitwidth, EightBitEdgeValuesCountWhereverTheyLie) {
  struct Case {
    TensorType type;
    int value;
    int bits;
  };
  const Case cases[] = {{TensorType::int8, -128, 8}, {TensorType::int8, 127, 8},  {TensorType::int8, -1, 1},
                        {TensorType::int8, 0, 1},    {TensorType::int8, -65, 8},  {TensorType::int8, -64, 7},
                        {TensorType::int4, -8, 4},   {TensorType::uint8, 255, 8}, {TensorType::uint8, 128, 8},
                        {TensorType::uint8, 1, 1},   {TensorType::uint8, 0, 0}};
  for (const Case& c : cases) {
    for (const size_t at : {0, 31, 32, 63, 64, 70}) {
      std::vector<uint8_t> bytes(71, 0);
      bytes[at] = static_cast<uint8_t>(c.value);
      EXPECT_EQ(evaluate_bitwidth(*Dense::copy(bytes.data(), bytes.size(), c.type, {71})), c.bits)
          << c.value << " at " << at;
    }
  }
}

}  // namespace
}  // namespace ornix
