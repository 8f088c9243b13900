#include "backend/v1/fnp_weight_rules.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>

#include "backend/v1/checker_limits.h"
#include "backend/v1/checker_messages.h"

namespace ornix::v1 {

namespace {

// "num_weights" truncated toward zero, or nothing when no neuron's count can equal it.
std::optional<uint64_t> wanted_weights(double num_weights) {
  const double whole = std::trunc(num_weights);
  if (!(whole >= 0.0 && whole <= static_cast<double>(UINT32_MAX))) return std::nullopt;
  return static_cast<uint64_t>(whole);
}

}  // namespace

LayerMappingStatus check_fnp_weights_range(const FullyConnected& layer) {
  const int32_t bits = param_of(layer, "weights_bits");
  const int32_t high = bits == 1 ? kOneBitWeightMax : (int32_t{1} << (bits - 1)) - 1;
  const int32_t low = bits == 1 ? kOneBitWeightMin : -high;
  const auto weights = layer.variables().get("weights");
  const int8_t* values = weights->data<int8_t>();
  const int8_t* outside = std::find_if(values, values + weights->size(),
                                       [low, high](int8_t value) { return value < low || value > high; });
  if (outside == values + weights->size()) return LayerMappingStatus(layer);
  return LayerMappingError(layer, weights_out_of_range_message(low, high, *outside));
}

// Neuron n's weights sit at n * stride0 + k * stride1.
LayerMappingStatus check_fnp_num_weights(const FullyConnected& layer) {
  if (!layer.can_learn()) return LayerMappingStatus(layer);
  const std::optional<uint64_t> wanted = wanted_weights(layer.learning()->get("num_weights"));
  const auto weights = layer.variables().get("weights");
  const Shape& shape = weights->shape();
  const std::vector<uint32_t>& strides = weights->strides();
  const int8_t* values = weights->data<int8_t>();
  const uint64_t neurons = shape.empty() ? 0 : shape[0];
  const uint64_t per_neuron = neurons == 0 ? 0 : shape.element_count() / neurons;
  for (uint64_t neuron = 0; neuron < neurons; ++neuron) {
    uint64_t count = 0;
    for (uint64_t k = 0; k < per_neuron; ++k) {
      count += values[neuron * strides[0] + (shape.size() > 1 ? k * strides[1] : 0)] != 0;
    }
    if (count != wanted) return LayerMappingError(layer, kMsgNumWeightsMismatch);
  }
  return LayerMappingStatus(layer);
}

}  // namespace ornix::v1
