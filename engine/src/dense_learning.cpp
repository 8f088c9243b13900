#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "format_text.h"
#include "layer_build.h"
#include "learning_messages.h"
#include "ornix/layers/dense.h"

namespace ornix {

namespace {

// The keys of the unsupervised rule (LearningType::Unsupervised).
constexpr const char* kUnsupervisedKeys[] = {"num_weights",          "num_classes",    "initial_plasticity",
                                             "learning_competition", "min_plasticity", "plasticity_decay"};

void check_count(const LearningParams& learning, const char* key, uint32_t max, const char* what,
                 const std::string& layer) {
  const double value = learning.get(key);
  if (!(value >= 1 && value <= max && value == std::trunc(value))) {
    throw std::invalid_argument(format_text(msg::kLearningCountOutOfRange, key, max, what, layer.c_str(), value));
  }
}

}  // namespace

void FullyConnected::start_learning(const std::shared_ptr<const LearningParams>& learning) {
  const std::vector<std::string> keys = learning->keys();
  for (const char* key : kUnsupervisedKeys) {
    if (std::find(keys.begin(), keys.end(), key) == keys.end()) {
      throw std::invalid_argument(msg::missing_learning_key(key));
    }
  }
  const Shape input = input_dimensions().front();
  const uint32_t units = output_dimensions()[2];
  const uint32_t inputs = checked_dim(product({input[0], input[1], input[2]}));
  check_count(*learning, "num_weights", inputs, "the inputs of each neuron", name());
  check_count(*learning, "num_classes", units, "the units", name());
  own_variables().declare({per_channel("threshold_learning", TensorType::int32, units),
                           per_channel("thswap", TensorType::int32, units)});
  set_learning(learning);
}

}  // namespace ornix
