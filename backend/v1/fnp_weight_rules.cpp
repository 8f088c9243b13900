#include "backend/v1/fnp_weight_rules.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <utility>

#include "backend/v1/checker_limits.h"
#include "backend/v1/checker_messages.h"
#include "backend/v1/fnp_learning_recording.h"
#include "backend/v1/fnp_learning_registers.h"
#include "backend/v1/fnp_limits.h"
#include "backend/v1/fnp_messages.h"
#include "backend/v1/neuron_value_rules.h"
#include "backend/v1/np_registers.h"
#include "backend/v1/rule_status.h"

namespace ornix::v1 {

namespace {

// "num_weights" truncated toward zero, or nothing when no neuron's count can equal it.
std::optional<uint64_t> wanted_weights(double num_weights) {
  const double whole = std::trunc(num_weights);
  if (!(whole >= 0.0 && whole <= static_cast<double>(UINT32_MAX))) return std::nullopt;
  return static_cast<uint64_t>(whole);
}

// Every value of the int32 variable `name` lies in low..high.
LayerMappingStatus check_learning_variable(const Layer& layer, const char* name, int32_t low, int32_t high) {
  const auto tensor = layer.variables().get(name);
  const int32_t* values = tensor->data<int32_t>();
  const int32_t* outside = std::find_if(values, values + tensor->size(),
                                        [low, high](int32_t value) { return value < low || value > high; });
  if (outside == values + tensor->size()) return LayerMappingStatus(layer);
  return LayerMappingError(layer, learning_values_out_of_range_message(name, low, high, *outside));
}

// Whether `value` fits `field`.
bool fits(uint32_t value, const RegDetail& field) { return field.width >= 32 || value >> field.width == 0; }

// The register values the learning parameters give, and the class of the last neuron, fit
// their fields.
LayerMappingStatus check_learning_fields(const FullyConnected& layer) {
  const LearningParams& params = *layer.learning();
  const LearningFieldValues values = learning_field_values(params);
  const auto units = static_cast<uint32_t>(param_of(layer, "units"));
  const double classes = params.get("num_classes");
  const uint32_t num_classes = classes >= 0.0 && classes <= static_cast<double>(UINT32_MAX)
                                   ? static_cast<uint32_t>(classes) : UINT32_MAX;
  const uint32_t top_class = num_classes > 1 && units > 0 ? learning_class_of(units - 1, units, num_classes) : 1;
  LayerMappingStatus status(layer);
  merge_rules(status, {
                          rule_status(layer, fits(values.winners, REG36_LEARN_WINNERS),
                                      learning_field_message(kLearningWinnersParams, values.winners,
                                                             REG36_LEARN_WINNERS.width)),
                          rule_status(layer, fits(values.min_plasticity, REG37_MIN_PLASTICITY),
                                      learning_field_message(kLearningMinPlasticityParams, values.min_plasticity,
                                                             REG37_MIN_PLASTICITY.width)),
                          rule_status(layer, fits(values.plasticity_decay, REG38_PLASTICITY_DECAY),
                                      learning_field_message(kLearningPlasticityDecayParams,
                                                             values.plasticity_decay, REG38_PLASTICITY_DECAY.width)),
                          rule_status(layer, fits(top_class, kBlockClass),
                                      learning_classes_message(top_class, (uint32_t{1} << kBlockClass.width) - 1)),
                      });
  return status;
}

}  // namespace

LayerMappingStatus check_fnp_weights_range(const FullyConnected& layer) {
  const int32_t bits = param_of(layer, "weights_bits");
  const int32_t bound = bits == 1 ? kFnpOneBitWeightBound : int32_t{1} << (bits - 1);
  const Dense& weights = *layer.variables().get("weights");
  LayerMappingStatus status = check_weights_within(layer, weights, 1 - bound, bound - 1);
  if (!status.success() || bits != 1) return status;
  const int8_t* values = weights.data<int8_t>();
  const bool negative = std::any_of(values, values + weights.size(), [](int8_t value) { return value < 0; });
  return rule_status(layer, !negative, kMsgFnpNegativeOneBitWeight);
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

LayerMappingStatus check_fnp_learning_values(const FullyConnected& layer) {
  if (!layer.can_learn()) return LayerMappingStatus(layer);
  if (param_of(layer, "weights_bits") != kLearningWeightsBits) {
    return LayerMappingError(layer, kMsgFnpLearningWeightsBits);
  }
  constexpr int32_t kMaxThresholdLearning = (int32_t{1} << (kThresholdLearningBits - 1)) - 1;
  constexpr auto kMaxThswap = static_cast<int32_t>((uint32_t{1} << kBlockThswap.width) - 1);
  LayerMappingStatus status(layer);
  // A variable the layer does not hold has no value to check; recording names it.
  for (const auto& [name, high] :
       {std::pair{kVarThresholdLearning, kMaxThresholdLearning}, std::pair{kVarThswap, kMaxThswap}}) {
    if (status.success() && layer.variables().has(name)) {
      merge_mapping_status(status, check_learning_variable(layer, name, 0, high));
    }
  }
  if (status.success()) merge_mapping_status(status, check_learning_fields(layer));
  return status;
}

}  // namespace ornix::v1
