#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <stdexcept>
#include <vector>

#include "ornix/tensor.h"

namespace ornix {
namespace {

using ::testing::ElementsAre;

template <typename T>
int bitwidth_of(TensorType type, const std::vector<T>& values) {
  const uint32_t count = static_cast<uint32_t>(values.size());
  return evaluate_bitwidth(*Dense::copy(values.data(), values.size() * sizeof(T), type, {count}));
}

TEST(EvaluateBitwidth, SignedTypesNeedTwosComplementWidth) {
  EXPECT_EQ(bitwidth_of<int8_t>(TensorType::int8, {-8, -1, 0, 7}), 4);
  EXPECT_EQ(bitwidth_of<int8_t>(TensorType::int8, {8}), 5);
  EXPECT_EQ(bitwidth_of<int8_t>(TensorType::int8, {-9}), 5);
  EXPECT_EQ(bitwidth_of<int8_t>(TensorType::int4, {-2, 1}), 2);
  EXPECT_EQ(bitwidth_of<int8_t>(TensorType::bit, {0, 0}), 1);
  EXPECT_EQ(bitwidth_of<int16_t>(TensorType::int16, {-32768}), 16);
  EXPECT_EQ(bitwidth_of<int32_t>(TensorType::int32, {INT32_MIN, 5}), 32);
  EXPECT_EQ(bitwidth_of<int32_t>(TensorType::int32, {65535}), 17);
}

TEST(EvaluateBitwidth, UnsignedTypesNeedTheLargestValuesBitLength) {
  std::vector<uint8_t> up_to_31(32);
  for (uint8_t v = 0; v < 32; ++v) up_to_31[v] = v;
  EXPECT_EQ(bitwidth_of<uint8_t>(TensorType::uint8, up_to_31), 5);
  EXPECT_EQ(bitwidth_of<uint8_t>(TensorType::uint8, {32}), 6);
  EXPECT_EQ(bitwidth_of<uint8_t>(TensorType::uint2, {3}), 2);
  EXPECT_EQ(bitwidth_of<uint8_t>(TensorType::uint8, {0, 0}), 0);
  EXPECT_THROW(bitwidth_of<float>(TensorType::float32, {1.0f}), std::invalid_argument);
}

TEST(ThresholdSixteenths, SixteenTimesEachStepRoundedToNearest) {
  const std::vector<float> steps{0.5f, 1.0f, 65535.0f, 1048575.0f, 0.03125f, -0.03125f, 0.09f, -2.0f};
  const auto act_steps = Dense::copy(steps.data(), steps.size() * 4, TensorType::float32, {8});
  const auto t16 = get_threshold_t16_from_act_steps(*act_steps);
  EXPECT_EQ(t16->type(), TensorType::int32);
  EXPECT_EQ(t16->shape(), (Shape{8}));
  // 0.09 x 16 = 1.44 -> 1; 1/32 x 16 = 0.5 -> 1 (halves away from zero).
  EXPECT_THAT(std::vector<int32_t>(t16->data<int32_t>(), t16->data<int32_t>() + 8),
              ElementsAre(8, 16, 1048560, 16777200, 1, -1, 1, -32));

  for (const float bad : {134217728.0f, -134217744.0f, NAN, INFINITY}) {
    EXPECT_THROW(get_threshold_t16_from_act_steps(*Dense::copy(&bad, 4, TensorType::float32, {1})),
                 std::invalid_argument);
  }
  EXPECT_THROW(get_threshold_t16_from_act_steps(*Dense::create(TensorType::int32, {1})), std::runtime_error);
}

}  // namespace
}  // namespace ornix
