#include "ornix/variables.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <stdexcept>
#include <vector>

#include "layer_fixtures.h"

namespace ornix {
namespace {

using ::testing::ElementsAre;
using test::dims;
using test::throws_text;

TEST(Variables, StoresNamedTensors) {
  VariablesImpl variables;
  EXPECT_THAT([&] { variables.get("weights"); }, throws_text<std::invalid_argument>("Variable weights not found"));
  EXPECT_THAT([&] { variables.set("bias", nullptr); },
              throws_text<std::invalid_argument>("Variable bias cannot be set to a null tensor."));
}

TEST(Variables, ReplacementsKeepTheStoredShapeAndLayout) {
  VariablesImpl variables;
  const auto original = Dense::create(TensorType::int4, {3, 2}, Layout::Reversed);
  variables.set("weights", original);
  EXPECT_THAT([&] { variables.set("weights", Dense::create(TensorType::int8, {4, 2})); },
              throws_text<std::invalid_argument>(
                  "Variable weights of shape (3, 2) in reversed layout cannot take a tensor of shape (4, 2)."));
  // Same dimensions in the other layout would reorder the elements.
  EXPECT_THROW(variables.set("weights", Dense::create(TensorType::int8, {3, 2})), std::invalid_argument);
  EXPECT_EQ(variables.get("weights"), original);

  // What NumPy holds for it: dims (2, 3), row-major, element [i][n] at byte 3i + n.
  const std::vector<int8_t> values{0, 1, 2, 3, 4, 5};
  variables.set("weights", Dense::copy(values.data(), 6, TensorType::int8, {2, 3}));
  const auto stored = variables.get("weights");
  EXPECT_EQ(stored->layout(), Layout::Reversed);
  EXPECT_THAT(dims(stored->shape()), ElementsAre(3u, 2u));
  EXPECT_EQ(stored->type(), TensorType::int8);
  // Engine element (neuron n, input i) is NumPy's [i][n].
  EXPECT_EQ(stored->at<int8_t>({1, 0}), 1);
  EXPECT_EQ(stored->at<int8_t>({0, 1}), 3);
  EXPECT_EQ(stored->at<int8_t>({2, 1}), 5);
}

TEST(Variables, DeclareCreatesZerosAndKeepsFittingTensors) {
  VariablesImpl variables;
  const auto kept = Dense::create(TensorType::int8, {2});
  variables.set("bias", kept);
  variables.declare({{"bias", TensorType::int8, Shape{2}}, {"weights", TensorType::int4, Shape{2, 5}}});
  EXPECT_EQ(variables.get("bias"), kept);
  EXPECT_EQ(variables.get("weights")->type(), TensorType::int4);
  // A misfit changes nothing, not even the variables declared alongside it.
  EXPECT_THROW(variables.declare({{"scales", TensorType::uint8, Shape{2}}, {"bias", TensorType::int8, Shape{3}}}),
               std::invalid_argument);
  EXPECT_FALSE(variables.has("scales"));
}

}  // namespace
}  // namespace ornix
