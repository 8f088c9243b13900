#include "ornix/layer_params.h"
#include "ornix/learning_params.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <stdexcept>

#include "layer_fixtures.h"

namespace ornix {
namespace {

using ::testing::ElementsAre;
using test::throws_text;

TEST(LayerParams, ReadsValuesAndListsKeysInOrder) {
  const auto params = LayerParams::create(LayerType::Conv2D, {{"padding", 1}, {"filters", 32}, {"kernel_size", 3}});
  EXPECT_EQ(params->layer_type(), LayerType::Conv2D);
  EXPECT_EQ(params->get("filters"), 32);
  EXPECT_TRUE(params->has("padding"));
  EXPECT_FALSE(params->has("kernel_width"));
  EXPECT_THAT(params->keys(), ElementsAre("filters", "kernel_size", "padding"));
}

TEST(LayerParams, MissingKeyNamesTheKey) {
  const auto params = LayerParams::create(LayerType::Conv2D, {{"filters", 32}});
  EXPECT_THAT([&] { params->get("kernel_size"); }, throws_text<std::invalid_argument>("Key kernel_size not found"));
}

TEST(LayerParams, CloneIsAnIndependentEqualCopy) {
  const auto params = LayerParams::create(LayerType::Dense1D, {{"units", 10}, {"weights_bits", 4}});
  const auto copy = LayerParams::clone(params.get());
  EXPECT_NE(copy.get(), params.get());
  EXPECT_EQ(copy->layer_type(), LayerType::Dense1D);
  EXPECT_THAT(copy->keys(), ElementsAre("units", "weights_bits"));
  EXPECT_EQ(copy->get("weights_bits"), 4);
  EXPECT_THROW(LayerParams::clone(nullptr), std::invalid_argument);
}

TEST(LearningParams, ReadsValuesRefusesMissingKeysAndClones) {
  const auto params = LearningParams::create(LearningType::Unsupervised, {{"num_weights", 7.0}, {"num_classes", 1.0}});
  EXPECT_EQ(params->learning_type(), LearningType::Unsupervised);
  EXPECT_DOUBLE_EQ(params->get("num_weights"), 7.0);
  EXPECT_THAT(params->keys(), ElementsAre("num_classes", "num_weights"));
  EXPECT_THAT([&] { params->get("min_plasticity"); },
              throws_text<std::invalid_argument>("Key min_plasticity not found"));

  const auto copy = LearningParams::clone(params.get());
  EXPECT_NE(copy.get(), params.get());
  EXPECT_DOUBLE_EQ(copy->get("num_classes"), 1.0);
  EXPECT_THROW(LearningParams::clone(nullptr), std::invalid_argument);
}

}  // namespace
}  // namespace ornix
