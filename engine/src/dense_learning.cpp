#include <algorithm>
#include <cmath>
#include <cstdint>
#include <stdexcept>
#include <vector>

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

// splitmix64: a small generator whose numbers depend on its seed alone.
uint64_t next_random(uint64_t& state) {
  uint64_t z = (state += 0x9E3779B97F4A7C15);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EB;
  return z ^ (z >> 31);
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

void FullyConnected::connect_idle_neurons() {
  const auto num_weights = static_cast<uint32_t>(learning()->get("num_weights"));
  const std::shared_ptr<const Dense> current = variables().get("weights");
  const uint32_t units = current->shape()[0], inputs = current->shape()[1];
  const size_t neuron_stride = current->strides()[0], input_stride = current->strides()[1];
  const int8_t* values = current->data<int8_t>();
  std::vector<bool> connected(units, false);
  for (uint32_t i = 0; i < inputs; ++i) {
    for (uint32_t n = 0; n < units; ++n) {
      if (values[i * input_stride + n * neuron_stride] != 0) connected[n] = true;
    }
  }
  if (std::all_of(connected.begin(), connected.end(), [](bool c) { return c; })) return;

  auto weights = Dense::copy(current->buffer(), current->byte_size(), current->type(), current->shape(),
                             current->layout());
  for (uint32_t n = 0; n < units; ++n) {
    if (connected[n]) continue;
    int8_t* neuron = weights->data<int8_t>() + n * neuron_stride;
    // Floyd's sampling of num_weights distinct inputs, each chosen one marked by its weight.
    uint64_t state = n;
    for (uint32_t j = inputs - num_weights; j < inputs; ++j) {
      int8_t& pick = neuron[next_random(state) % (uint64_t{j} + 1) * input_stride];
      (pick == 0 ? pick : neuron[j * input_stride]) = 1;
    }
  }
  own_variables().set("weights", weights);
}

}  // namespace ornix
