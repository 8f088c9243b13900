#include "software_learning.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>

#include "matmul_kernel.h"
#include "ops_support.h"
#include "software_messages.h"

namespace ornix::software {

namespace {

double checked(const LearningParams& params, const char* key, double min, double max, const char* range) {
  const double value = params.get(key);
  if (!(value >= min && value <= max)) throw std::invalid_argument(msg::learning_value(key, value, range));
  return value;
}

}  // namespace

LearningStep::LearningStep(FullyConnected& layer, const LearningParams& params) : layer_(layer), output_(layer) {
  const Dense& weights = *layer.variables().get("weights");
  units_ = weights.shape()[0];
  inputs_ = static_cast<uint32_t>(weights.size() / units_);
  num_weights_ = static_cast<uint32_t>(checked(params, "num_weights", 1, inputs_, "between 1 and the inputs per neuron"));
  num_classes_ = static_cast<uint32_t>(checked(params, "num_classes", 1, units_, "between 1 and the units"));
  if (units_ % num_classes_ != 0) {
    throw std::invalid_argument(msg::learning_value("num_classes", num_classes_, "a divisor of the units"));
  }
  per_class_ = units_ / num_classes_;
  const double initial = checked(params, "initial_plasticity", 0, 1, "in (0, 1]");
  if (initial == 0) throw std::invalid_argument(msg::learning_value("initial_plasticity", initial, "in (0, 1]"));
  const double floor = checked(params, "min_plasticity", 0, initial, "between 0 and initial_plasticity");
  competition_ = checked(params, "learning_competition", 0, 1, "between 0 and 1");
  const double decay = checked(params, "plasticity_decay", 0, 1, "between 0 and 1");
  const auto initial_swaps = static_cast<uint32_t>(std::round(num_weights_ * initial));
  swap_floor_ = std::max(1u, static_cast<uint32_t>(std::ceil(num_weights_ * floor)));
  swap_drop_ = static_cast<uint32_t>(std::ceil(initial_swaps * decay));

  // Reversed (units, inputs) weights are, in memory, row-major (inputs, units).
  const auto values = int8_in_memory_order(layer.variables().get("weights"), Shape{inputs_, units_});
  weights_.assign(values->data<int8_t>(), values->data<int8_t>() + values->size());
  swaps_.assign(units_, 0);
  if (const auto swaps = optional_variable(layer, "thswap")) {
    const std::vector<int64_t> stored = integer_values(*swaps);
    std::copy_n(stored.begin(), std::min<size_t>(stored.size(), units_), swaps_.begin());
  }
  for (int32_t& swap : swaps_) {
    if (swap <= 0) swap = static_cast<int32_t>(std::max(1u, initial_swaps));
  }
  order_.reserve(inputs_);
  drops_.reserve(inputs_);
}

std::shared_ptr<Dense> LearningStep::run(const std::vector<std::shared_ptr<Dense>>& inputs) {
  const Dense& x = *inputs.at(0);
  const int32_t* values = x.data<int32_t>();
  ops::detail::require_accumulator_fits(ops::detail::max_magnitude(values, x.size()),
                                        ops::detail::max_column_abs_sum(weights_.data(), inputs_, units_), "fit");
  auto potentials = ops::detail::int32_tensor(Shape{1, 1, units_});
  ops::detail::matmul_rows(values, weights_.data(), potentials->data<int32_t>(), 1, inputs_, units_);
  if (learning_) learn(values, potentials->data<int32_t>());
  return output_.apply(potentials);
}

void LearningStep::learn(const int32_t* x, const int32_t* potentials) {
  uint32_t first = 0, count = units_;
  if (label_ != nullptr) {
    if (*label_ < 0 || static_cast<uint32_t>(*label_) >= num_classes_) return;
    first = static_cast<uint32_t>(*label_) * per_class_;
    count = per_class_;
  }
  uint32_t winner = first, runner_up = UINT32_MAX;
  for (uint32_t n = first + 1; n < first + count; ++n) {
    if (potentials[n] > potentials[winner]) {
      runner_up = winner;
      winner = n;
    } else if (runner_up == UINT32_MAX || potentials[n] > potentials[runner_up]) {
      runner_up = n;
    }
  }
  move_connections(winner, x, static_cast<uint32_t>(swaps_[winner]), true);
  swaps_[winner] = static_cast<int32_t>(std::max<int64_t>(swap_floor_, int64_t{swaps_[winner]} - swap_drop_));
  if (competition_ > 0 && runner_up != UINT32_MAX && potentials[runner_up] > 0) {
    move_connections(runner_up, x, static_cast<uint32_t>(std::lround(competition_ * swaps_[runner_up])), false);
  }
}

void LearningStep::move_connections(uint32_t neuron, const int32_t* x, uint32_t budget, bool toward) {
  // Toward the sample the most active inputs are wanted; away from it the least active.
  auto score = [&](uint32_t i) { return toward ? int64_t{x[i]} : -int64_t{x[i]}; };
  auto weight = [&](uint32_t i) -> int8_t& { return weights_[size_t{i} * units_ + neuron]; };
  std::vector<uint32_t>& gains = order_;
  gains.clear();
  drops_.clear();
  for (uint32_t i = 0; i < inputs_; ++i) (weight(i) == 0 ? gains : drops_).push_back(i);
  std::stable_sort(gains.begin(), gains.end(), [&](uint32_t a, uint32_t b) { return score(a) > score(b); });
  std::stable_sort(drops_.begin(), drops_.end(), [&](uint32_t a, uint32_t b) { return score(a) < score(b); });
  size_t held = drops_.size(), next = 0, out = 0;
  for (; budget > 0 && next < gains.size(); ++next, --budget) {
    const uint32_t gain = gains[next];
    if (toward && held < num_weights_ && x[gain] > 0) {
      weight(gain) = 1;
      ++held;
    } else if (out < drops_.size() && score(gain) > score(drops_[out])) {
      weight(drops_[out++]) = 0;
      weight(gain) = 1;
    } else {
      break;
    }
  }
}

void LearningStep::store() const {
  const Dense& current = *layer_.variables().get("weights");
  auto weights = Dense::create(current.type(), current.shape(), current.layout());
  std::memcpy(weights->buffer(), weights_.data(), weights_.size());
  layer_.variables().set("weights", weights);
  auto swaps = Dense::create(TensorType::int32, Shape{units_});
  std::memcpy(swaps->buffer(), swaps_.data(), swaps_.size() * sizeof(int32_t));
  layer_.variables().set("thswap", swaps);
}

}  // namespace ornix::software
