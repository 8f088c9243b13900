#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "engine/error_text.h"
#include "layer_fixtures.h"
#include "ornix/layers/dense.h"

namespace ornix {
namespace {

using test::add_layer;
using test::model_with_input;

const LearningParams::Values kUnsupervised{{"num_weights", 4},        {"num_classes", 2},
                                           {"initial_plasticity", 1}, {"learning_competition", 0},
                                           {"min_plasticity", 0.1},   {"plasticity_decay", 0.25}};

// 2 x 2 x 3 inputs (12 per neuron), then a FullyConnected layer of 6 units.
std::unique_ptr<Model> dense_model() {
  auto model = model_with_input(2, 2, 3);
  add_layer(*model, LayerType::FullyConnected, {{"units", 6}, {"weights_bits", 1}}, "fc");
  return model;
}

TEST(ModelCompile, RefusesWhatTheLastLayerCannotLearnWith) {
  const auto with = [](const std::string& key, double value) {
    auto values = kUnsupervised;
    values[key] = value;
    return values;
  };
  auto missing = kUnsupervised;
  missing.erase("plasticity_decay");
  const std::string weights =
      "num_weights must be a whole number between 1 and 12, the inputs of each neuron of layer fc";
  const std::vector<std::pair<LearningParams::Values, std::string>> rows{
      {missing, "The unsupervised learning parameters need plasticity_decay."},
      {with("num_weights", 13), weights + " (got 13)."},
      {with("num_weights", 2.5), weights + " (got 2.5)."},
      {with("num_classes", 7), "num_classes must be a whole number between 1 and 6, the units of layer fc (got 7)."},
  };
  for (const auto& [values, expected] : rows) {
    const auto model = dense_model();
    EXPECT_THAT([&] { model->compile(LearningParams::create(LearningType::Unsupervised, values)); },
                test::throws_text<std::invalid_argument>(expected));
    EXPECT_EQ(model->learning(), nullptr);
    EXPECT_FALSE(model->get_layer(1)->is_learning());
  }
  const auto model = dense_model();
  EXPECT_THAT([] { LearningParams::create(LearningType{3}, kUnsupervised); },
              test::throws_text<std::invalid_argument>("Unknown learning type 3."));
  add_layer(*model, LayerType::Dense1D, {{"units", 2}}, "dense");
  EXPECT_THAT([&] { model->compile(LearningParams::create(LearningType::Unsupervised, kUnsupervised)); },
              test::throws_text<std::runtime_error>(
                  "Layer dense cannot learn: only a FullyConnected layer can be compiled."));
  EXPECT_THAT([&] { Model::create()->compile(LearningParams::create(LearningType::Unsupervised, kUnsupervised)); },
              test::throws_text<std::runtime_error>("The model has no layers."));
}

TEST(ModelCompile, TheLastLayerLearnsWithTheModelsParametersUntilItIsPopped) {
  const auto model = dense_model();
  const auto fc = std::dynamic_pointer_cast<FullyConnected>(model->get_layer(1));
  const auto learning = LearningParams::create(LearningType::Unsupervised, kUnsupervised);
  model->compile(learning);
  EXPECT_EQ(model->learning(), learning);
  EXPECT_EQ(fc->learning(), learning.get());
  for (const char* name : {"threshold_learning", "thswap"}) {
    const auto variable = fc->variables().get(name);
    EXPECT_TRUE(variable->type() == TensorType::int32 && variable->shape() == Shape{6}) << name;
  }
  // The model owns the parameters; popping the layer ends its learning.
  model->pop_layer();
  EXPECT_EQ(model->learning(), nullptr);
  EXPECT_FALSE(fc->can_learn());
}

TEST(LayerSize, VariablesAndOutputsBeyondTheirBoundsAreRefusedBeforeAllocation) {
  auto model = model_with_input(1, 1, 1);
  EXPECT_THAT([&] { add_layer(*model, LayerType::Dense1D, {{"units", 0x7FFFFFFF}}, "huge"); },
              test::throws_text<std::invalid_argument>(
                  "Layer huge would need 10737418236 bytes of variables; a layer holds at most 536870912 bytes."));
  auto image = model_with_input(4, 4, 3);
  EXPECT_THROW(add_layer(*image, LayerType::InputConv2D, {{"kernel_size", 4097}, {"filters", 16}}, "hrc"),
               std::invalid_argument);
  EXPECT_EQ(image->layer_count(), 1u);

  // 65536 x 65535 values fit a tensor; two filters of them do not, nor 65536 rows of 65536.
  auto wide = model_with_input(65536, 65535, 1);
  EXPECT_THAT([&] { add_layer(*wide, LayerType::Conv2D, {{"kernel_size", 1}, {"filters", 2}}, "conv"); },
              test::throws_text<std::invalid_argument>(
                  "Layer conv would output 8589803520 values; a tensor holds at most 4294967295."));
  EXPECT_EQ(wide->layer_count(), 1u);
  EXPECT_THAT([] { model_with_input(65536, 65536, 1); },
              test::throws_text<std::invalid_argument>(
                  "Layer input would output 4294967296 values; a tensor holds at most 4294967295."));
}

}  // namespace
}  // namespace ornix
