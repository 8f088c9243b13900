#include "backend/v1/neuron_value_rules.h"

#include <algorithm>

#include "backend/v1/checker_limits.h"
#include "backend/v1/checker_messages.h"
#include "backend/v1/rule_status.h"

namespace ornix::v1 {

LayerMappingStatus check_act_bits(const Layer& layer) {
  const int32_t act_bits = param_of(layer, "act_bits");
  if (layer.has_activation()) return rule_status(layer, is_one_of(kActBits, act_bits), kMsgFnpActBits);
  return rule_status(layer, act_bits >= 0 && act_bits <= kMaxActBitsWithoutActivation,
                     act_bits_without_activation_message(kMaxActBitsWithoutActivation, act_bits));
}

LayerMappingStatus check_weights_within(const Layer& layer, const Dense& weights, int32_t low, int32_t high) {
  const int8_t* values = weights.data<int8_t>();
  const int8_t* outside = std::find_if(values, values + weights.size(),
                                       [low, high](int8_t value) { return value < low || value > high; });
  if (outside == values + weights.size()) return LayerMappingStatus(layer);
  return LayerMappingError(layer, weights_out_of_range_message(low, high, *outside));
}

LayerMappingStatus check_thresholds_fit(const Layer& layer, int bits) {
  const int32_t high = (int32_t{1} << (bits - 1)) - 1;
  const int32_t low = -high - 1;
  const auto threshold = layer.variables().get("threshold");
  const int32_t* values = threshold->data<int32_t>();
  const int32_t* outside = std::find_if(values, values + threshold->size(),
                                        [low, high](int32_t value) { return value < low || value > high; });
  if (outside == values + threshold->size()) return LayerMappingStatus(layer);
  return LayerMappingError(layer, thresholds_out_of_range_message(low, high, *outside));
}

LayerMappingStatus check_act_steps_fit(const Layer& layer, uint32_t max_t16, std::string (*message)(int32_t)) {
  const auto steps = get_threshold_t16_from_act_steps(*layer.variables().get("act_step"));
  const int32_t* values = steps->data<int32_t>();
  const int32_t* beyond = std::find_if(values, values + steps->size(),
                                       [max_t16](int32_t step) { return static_cast<uint32_t>(step) > max_t16; });
  if (beyond == values + steps->size()) return LayerMappingStatus(layer);
  return LayerMappingError(layer, message(*beyond / kStepT16PerActStep));
}

}  // namespace ornix::v1
