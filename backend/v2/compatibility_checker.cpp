#include "backend/v2/compatibility_checker.h"

#include <cstdint>
#include <optional>

#include "backend/v2/checker_limits.h"
#include "backend/v2/checker_messages.h"
#include "backend/v2/fnp_sizes.h"
#include "backend/v2/layer_type_checks.h"
#include "backend/v2/sequence_rules.h"
#include "hardware/mesh.h"
#include "ornix/tensor.h"

namespace ornix::v2 {

namespace {

const char* activation_name(int32_t activation) {
  switch (static_cast<ActivationType>(activation)) {
    case ActivationType::NoActivation:
      return kActivationNoActivation;
    case ActivationType::ReLU:
      return kActivationReLU;
    case ActivationType::LUT:
      return kActivationLUT;
  }
  return kActivationUnknown;
}

// CNP and HRC layers take any activation; the other NP kinds ReLU only.
bool accepts_activation(const Layer& layer) {
  return layer.is_target_component(ComponentKind::CNP) || layer.is_target_component(ComponentKind::HRC) ||
         !layer.has_activation() || layer.activation_is(ActivationType::ReLU);
}

uint32_t param_or_zero(const LayerParams& params, const char* key) {
  return params.has(key) ? static_cast<uint32_t>(params.get(key)) : 0;
}

}  // namespace

LayerMappingStatus check_variable_bitwidth(const Layer& layer, uint32_t max_bits, const std::string& variable) {
  if (!layer.variables().has(variable)) return LayerMappingStatus(layer);
  const int bits = evaluate_bitwidth(*layer.variables().get(variable));
  if (static_cast<int64_t>(bits) <= static_cast<int64_t>(max_bits)) return LayerMappingStatus(layer);
  return LayerMappingError(layer, variable_too_wide_message(variable, max_bits, bits));
}

LayerMappingStatus CompatibilityCheckerImpl::check_supported_activation(const Layer& layer) const {
  LayerMappingStatus status(layer);
  if (!accepts_activation(layer)) {
    const char* name = activation_name(param_of(layer, "activation"));
    merge_mapping_status(status, LayerMappingError(layer, unsupported_activation_message(name)));
  }
  if (layer.activation_is(ActivationType::LUT) && !device->mesh()->has_lut_on_all_nps()) {
    merge_mapping_status(status, LayerMappingError(layer, kMsgLutMissing));
  }
  return status;
}

LayerMappingStatus CompatibilityCheckerImpl::check_layer_compatibility(const Layer& layer, const Layer* inbound,
                                                                       HwVersion) const {
  LayerMappingStatus result(layer);
  LayerMappingStatus variables(layer);
  merge_mapping_status(variables, check_variable_bitwidth(layer, kInputShiftMaxBits, "input_shift"));
  merge_mapping_status(variables, check_variable_bitwidth(layer, kMaxValueShiftMaxBits, "max_value_shift"));
  merge_mapping_status(variables, check_variable_bitwidth(layer, kOutputShiftMaxBits, "output_shift"));
  merge_mapping_status(variables, check_variable_bitwidth(layer, kBiasShiftMaxBits, "bias_shift"));
  merge_mapping_status(result, variables);
  merge_mapping_status(result, check_supported_activation(layer));

  const std::optional<LayerMappingStatus> type_status = check_layer_type_constraints(*constraints, layer, inbound);
  if (!type_status) return LayerMappingError(layer, kMsgUnsupportedLayerType);
  merge_mapping_status(result, *type_status);
  return result;
}

LayerMappingStatus CompatibilityCheckerImpl::check_layer_sequence(LayerIterator first, LayerIterator last,
                                                                  HwVersion) const {
  return v2::check_layer_sequence(first, last);
}

std::unique_ptr<CompatibilityChecker::SequenceCheck> CompatibilityCheckerImpl::start_sequence_check(HwVersion) const {
  return std::make_unique<SequenceRules>();
}

LayerMappingStatus CompatibilityCheckerImpl::check_layer_mappings(const Layer& layer,
                                                                  const std::vector<hw::Component>& components) const {
  for (const hw::Component& component : components) {
    if (component.type != hw::Type::CNP1 && component.type != hw::Type::CNP2) continue;
    const uint64_t width = hw::np_share_or_default(component).spatial_partition.shape[0];
    const uint64_t rounded = (width + kNpInputWidthAlign - 1) / kNpInputWidthAlign * kNpInputWidthAlign;
    if (rounded > kMaxNpInputWidth) return LayerMappingError(layer, np_input_width_message(rounded, kMaxNpInputWidth));
  }
  return LayerMappingStatus("");
}

NpSplitParams CompatibilityCheckerImpl::np_split_params(hw::Type type, const LayerParams& params) const {
  const uint32_t half = type == hw::Type::TNP_B ? 0 : static_cast<uint32_t>(params.get("kernel_size")) >> 1;
  const uint32_t pool_size = param_or_zero(params, "pool_size");
  return NpSplitParams{half,
                       half,
                       half,
                       half,
                       param_or_zero(params, "pool_type"),
                       pool_size,
                       pool_size,
                       param_or_zero(params, "filters")};
}

bool CompatibilityCheckerImpl::check_fnp3_sram_size(const HardwareConstraints& table, const Layer& layer) const {
  return table.fnp3_sram_size >= get_fnp_sram_size(layer);
}

}  // namespace ornix::v2
