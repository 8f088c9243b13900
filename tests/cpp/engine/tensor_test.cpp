#include "ornix/tensor.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

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

TEST(TensorType, NamesAndElementSizes) {
  const char* names[] = {"int32", "float32", "uint8", "int16", "int8", "int4", "int2", "uint4", "uint2", "bit"};
  const size_t sizes[] = {4, 4, 1, 2, 1, 1, 1, 1, 1, 1};
  for (uint32_t code = 0; code < 10; ++code) {
    EXPECT_STREQ(tensor_type_name(TensorType{code}), names[code]);
    EXPECT_EQ(tensor_element_size(TensorType{code}), sizes[code]);
  }
  EXPECT_STREQ(tensor_type_name(TensorType{10}), "unknown");
  EXPECT_EQ(tensor_element_size(TensorType{10}), 0u);
}

// The run-time type names of the element types a tensor of that type lets through.
std::string accepted_elements(TensorType type) {
  const auto tensor = Dense::create(type, {1});
  std::string accepted;
  const auto probe = [&](auto read, char name) {
    try {
      read();
      accepted += name;
    } catch (const std::runtime_error&) {
    }
  };
  probe([&] { tensor->data<int32_t>(); }, 'i');
  probe([&] { tensor->data<float>(); }, 'f');
  probe([&] { tensor->data<uint8_t>(); }, 'h');
  probe([&] { tensor->data<int16_t>(); }, 's');
  probe([&] { tensor->data<int8_t>(); }, 'a');
  return accepted;
}

TEST(DenseTypedAccess, AcceptsOnlyTheStorageElement) {
  const char* expected[] = {"i", "f", "h", "s", "a", "a", "a", "h", "h", "a"};
  for (uint32_t code = 0; code < 10; ++code) EXPECT_EQ(accepted_elements(TensorType{code}), expected[code]) << code;

  EXPECT_THAT([] { Dense::create(TensorType::int8, {2})->data<int32_t>(); },
              panics_with("Wrong requested type i for a tensor of type int8."));
  EXPECT_THAT([] { Dense::create(TensorType::int4, {2})->data<uint8_t>(); },
              panics_with("Wrong requested type h for a tensor of type int4."));
  EXPECT_THAT([] { Dense::create(TensorType::float32, {2})->at<int8_t>({0}); },
              panics_with("Wrong requested type a for a tensor of type float32."));
}

TEST(DenseConstruction, ZeroFillsAndCopiesExactByteCounts) {
  const auto zeros = Dense::create(TensorType::int32, {2, 3});
  EXPECT_EQ(zeros->size(), 6u);
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

TEST(DenseStrides, RowMajorAndReversed) {
  EXPECT_THAT(Dense::eval_strides({2, 3, 4}, Layout::RowMajor), ElementsAre(12, 4, 1));
  EXPECT_THAT(Dense::eval_strides({2, 3, 4}, Layout::Reversed), ElementsAre(1, 2, 6));

  // Reversed (2, 3): element (i, j) is stored at i + 2j.
  const auto reversed = counting({2, 3}, Layout::Reversed);
  EXPECT_EQ(reversed->at<int16_t>({1, 0}), 1);
  EXPECT_EQ(reversed->at<int16_t>({0, 1}), 2);
  EXPECT_EQ(reversed->at<int16_t>({1, 2}), 5);
  EXPECT_EQ(counting({2, 3}, Layout::RowMajor)->at<int16_t>({1, 2}), 5);
}

TEST(DenseCoordinates, RefusesOutOfRange) {
  const auto tensor = counting({2, 3}, Layout::RowMajor);
  const auto out_of_range = panics_with("Coordinates are out-of-range");
  EXPECT_THAT([&] { tensor->offset_of({2, 0}); }, out_of_range);
  EXPECT_THAT([&] { tensor->offset_of({0}); }, out_of_range);
  EXPECT_EQ(tensor->offset_of({1, 1}), 4u);
}

TEST(DenseSplit, OneFramePerIndexOfTheFirstDimension) {
  const auto rows = counting({3, 2}, Layout::RowMajor)->split();
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[2]->shape(), (Shape{2}));
  EXPECT_THAT(contents(*rows[0]), ElementsAre(0, 1));
  EXPECT_THAT(contents(*rows[2]), ElementsAre(4, 5));

  const auto scalars = counting({4}, Layout::RowMajor)->split();
  ASSERT_EQ(scalars.size(), 4u);
  EXPECT_EQ(scalars[3]->shape(), (Shape{1}));
  EXPECT_THAT(contents(*scalars[3]), ElementsAre(3));

  // Reversed (2, 3): frame i holds the elements (i, j), stored at i + 2j.
  const auto columns = counting({2, 3}, Layout::Reversed)->split();
  ASSERT_EQ(columns.size(), 2u);
  EXPECT_EQ(columns[1]->layout(), Layout::Reversed);
  EXPECT_THAT(contents(*columns[0]), ElementsAre(0, 2, 4));
  EXPECT_THAT(contents(*columns[1]), ElementsAre(1, 3, 5));

  // Reversed (2, 2, 2): element (i, j, k) at i + 2j + 4k; frame 1 stores (j, k) at j + 2k.
  const auto planes = counting({2, 2, 2}, Layout::Reversed)->split();
  EXPECT_EQ(planes[1]->shape(), (Shape{2, 2}));
  EXPECT_THAT(contents(*planes[1]), ElementsAre(1, 3, 5, 7));

  EXPECT_THROW(Dense::create(TensorType::int8, {})->split(), std::invalid_argument);
}

}  // namespace
}  // namespace ornix
