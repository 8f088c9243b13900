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

// The inputs each neuron of `fc` (reversed weights (units, inputs)) is connected to.
std::vector<std::vector<uint32_t>> connections(const Layer& fc) {
  const auto weights = fc.variables().get("weights");
  std::vector<std::vector<uint32_t>> inputs(weights->shape()[0]);
  for (uint32_t n = 0; n < weights->shape()[0]; ++n) {
    for (uint32_t i = 0; i < weights->shape()[1]; ++i) {
      if (weights->data<int8_t>()[n * weights->strides()[0] + i * weights->strides()[1]] != 0) inputs[n].push_back(i);
    }
  }
  return inputs;
}

// compile gives each neuron without connections num_weights of them, the same in every model;
// connected neurons keep theirs. A saved model holds its weights as saved, idle neurons included.
TEST(ModelCompile, ConnectsIdleNeuronsToNumWeightsInputsAndLoadingKeepsThemAsSaved) {
  for (const double num_weights : {1, 4, 12}) {
    SCOPED_TRACE(num_weights);
    auto values = kUnsupervised;
    values["num_weights"] = num_weights;
    const auto compiled = [&](bool neuron_2_connected) {
      auto model = dense_model();
      if (neuron_2_connected) {
        auto weights = Dense::create(TensorType::bit, Shape{6, 12}, Layout::Reversed);
        weights->data<int8_t>()[2] = weights->data<int8_t>()[5 * 6 + 2] = 1;  // inputs 0 and 5
        model->get_layer("fc")->variables().set("weights", weights);
      }
      model->compile(LearningParams::create(LearningType::Unsupervised, values));
      return model;
    };
    const auto model = compiled(true);
    const auto inputs = connections(*model->get_layer("fc"));
    for (uint32_t n = 0; n < 6; ++n) {
      EXPECT_EQ(inputs[n].size(), n == 2 ? 2u : num_weights) << "neuron " << n;
    }
    EXPECT_EQ(inputs[2], (std::vector<uint32_t>{0, 5}));
    const auto again = compiled(false);
    for (uint32_t n : {0, 1, 3, 4, 5}) EXPECT_EQ(connections(*again->get_layer("fc"))[n], inputs[n]);

    model->get_layer("fc")->variables().set("weights", Dense::create(TensorType::bit, Shape{6, 12}, Layout::Reversed));
    const auto saved = model->to_buffer();
    EXPECT_EQ(Model::from_buffer(saved.data(), saved.size())->to_buffer(), saved);
  }
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
