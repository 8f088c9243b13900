#include <cstdint>

#include "backend/v1/checker_limits.h"
#include "backend/v1/checker_messages.h"
#include "backend/v1/cnp_constraints.h"
#include "backend/v1/compatibility_checker.h"
#include "backend/v1/fnp_sizes.h"
#include "backend/v1/neuron_value_rules.h"
#include "backend/v1/rule_status.h"
#include "hardware/known_versions.h"

namespace ornix::v1 {

namespace {

LayerMappingStatus check_input_memory(const HardwareConstraints& constraints, const Layer& layer) {
  const uint64_t words = get_fnp_input_size(layer);
  return rule_status(layer, words <= constraints.fnp_input_memory_size,
                     fnp_input_memory_message(constraints.fnp_input_memory_size * kFnpInputWordBytes,
                                              words * kFnpInputWordBytes));
}

}  // namespace

LayerMappingStatus CompatibilityCheckerImpl::check_fnp_common_constraints(const Layer& layer,
                                                                          HwVersion version) const {
  const Shape input = layer.input_dimensions().at(0);
  const uint64_t max_values = version == kVamoV2 ? kFnpMaxInputValuesVamoV2 : kFnpMaxInputValues;
  LayerMappingStatus status(layer);
  merge_rules(status, {
                          rule_status(layer, is_one_of(kNpInputBits, layer.input_bits()), kMsgInputBits),
                          rule_status(layer, input.element_count() <= max_values, fnp_input_values_message(max_values)),
                      });
  // A flat input has no CNP geometry to check.
  if (status.success() && !(input[0] == 1 && input[1] == 1)) {
    merge_mapping_status(status, check_cnp_input_size(layer, input));
  }
  const int32_t weights_bits = param_of(layer, "weights_bits");
  merge_rules(status, {
                          rule_status(layer, weights_bits >= kFnpMinWeightsBits && weights_bits <= kFnpMaxWeightsBits,
                                      kMsgFnpWeightsBitsRange),
                          check_act_bits(layer),
                      });
  if (status.success()) merge_mapping_status(status, check_input_memory(*constraints, layer));
  return status;
}

}  // namespace ornix::v1
