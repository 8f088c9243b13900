#include <gtest/gtest.h>

#include <memory>
#include <new>
#include <string>
#include <vector>

#include "engine/layer_fixtures.h"
#include "failing_allocation.h"
#include "model_layers.h"

namespace ornix::python {
namespace {

// input (8 x 8 x 4) -> conv, and input -> fc: a classifier of 10 units and 5 classes that reads
// the input, not the layer added before it.
std::unique_ptr<Model> classifier_beside_a_convolution() {
  auto model = test::model_with_input(8, 8, 4, 2);
  test::add_layer(*model, LayerType::Convolutional,
                  {{"kernel_width", 3}, {"kernel_height", 3}, {"filters", 8}, {"padding", 1}, {"weights_bits", 2}},
                  "conv");
  model->add(test::make_layer(LayerType::FullyConnected, {{"units", 10}, {"weights_bits", 2}}, "fc"),
             {model->get_layer("input")});
  model->compile(LearningParams::create(LearningType::Unsupervised,
                                        {{"num_weights", 4}, {"num_classes", 5}, {"initial_plasticity", 1},
                                         {"learning_competition", 0}, {"min_plasticity", 0.1},
                                         {"plasticity_decay", 0.25}}));
  return model;
}

std::vector<std::string> inbound_names(Layer& layer) {
  std::vector<std::string> names;
  for (const auto& inbound : layer.inbound_layers()) names.push_back(inbound->name());
  return names;
}

// Whatever allocation fails, add_classes leaves the model as it was: the same layers, links,
// variables and learning, the old layer compiled. Failing each allocation in turn until none
// fails reaches every step, the last ones after the old layer left the model included; then the
// classifier has grown where it stands.
TEST(AddClasses, AFailedAllocationAnywhereKeepsTheClassifier) {
  for (long index = 0;; ++index) {
    const auto model = classifier_beside_a_convolution();
    const auto fc = model->get_layer("fc");
    const auto learning = model->learning();
    const std::vector<uint8_t> before = model->to_buffer();
    bool failed = false;
    test::failing_allocation = index;
    try {
      add_classes(*model, 1);
    } catch (const std::bad_alloc&) {
      failed = true;
    }
    test::failing_allocation = -1;
    const auto last = model->get_layer(int(model->layer_count() - 1));
    ASSERT_EQ(inbound_names(*last), std::vector<std::string>{"input"}) << "failing allocation " << index;
    if (!failed) {
      EXPECT_EQ(last->params()->get("units"), 12);
      EXPECT_EQ(model->learning()->get("num_classes"), 6);
      break;
    }
    ASSERT_TRUE(model->to_buffer() == before) << "failing allocation " << index;
    ASSERT_EQ(last, fc) << "failing allocation " << index;
    ASSERT_EQ(model->learning(), learning) << "failing allocation " << index;
    ASSERT_TRUE(fc->is_learning()) << "failing allocation " << index;
  }
}

}  // namespace
}  // namespace ornix::python
