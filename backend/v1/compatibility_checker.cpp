#include "backend/v1/compatibility_checker.h"

#include <cstdint>

#include "backend/v1/checker_limits.h"
#include "backend/v1/checker_messages.h"
#include "backend/v1/cnp_weight_sizes.h"
#include "backend/v1/fnp_limits.h"
#include "backend/v1/fnp_messages.h"
#include "backend/v1/fnp_sizes.h"
#include "backend/v1/fnp_weight_rules.h"
#include "backend/v1/hrc_constraints.h"
#include "backend/v1/neuron_value_rules.h"
#include "backend/v1/sequence_rules.h"
#include "hardware/known_versions.h"
#include "ornix/layers/dense.h"

namespace ornix::v1 {

namespace {

uint64_t input_chunk_words(uint32_t height, uint32_t width, uint32_t channels, uint8_t input_bits) {
  return get_cnp_input_sram_size(get_cnp_channel_container_size(width, input_bits), channels, height);
}

LayerMappingStatus check_fully_connected(const CompatibilityCheckerImpl& checker, const Layer& layer,
                                         HwVersion version) {
  const auto& dense = dynamic_cast<const FullyConnected&>(layer);
  LayerMappingStatus status = checker.check_fnp_common_constraints(layer, version);
  if (!status.success()) return status;
  if (LayerMappingStatus range = check_fnp_weights_range(dense); !range.success()) return range;
  if (LayerMappingStatus learning = check_fnp_num_weights(dense); !learning.success()) return learning;
  if (LayerMappingStatus learning = check_fnp_learning_values(dense); !learning.success()) return learning;
  if (dense.has_activation()) {
    merge_mapping_status(status, check_thresholds_fit(layer, kFnpThresholdBits));
    if (status.success()) merge_mapping_status(status, check_act_steps_fit(layer, kFnpMaxStep, fnp_act_step_message));
  }
  return status;
}

}  // namespace

LayerMappingStatus CompatibilityCheckerImpl::check_layer_compatibility(const Layer& layer, const Layer*,
                                                                       HwVersion version) const {
  if (version == kVamoV1) return LayerMappingError(layer, kMsgVamoV1Unsupported);
  switch (layer.params()->layer_type()) {
    case LayerType::Convolutional:
      return check_std_cnp_constraints(layer, version);
    case LayerType::SeparableConvolutional:
      return check_sep_cnp_constraints(layer, version);
    case LayerType::InputConvolutional:
      return check_hrc_constraints(layer);
    case LayerType::FullyConnected:
      return check_fully_connected(*this, layer, version);
    default:
      return LayerMappingError(layer, kMsgUnsupportedLayerType);
  }
}

std::unique_ptr<CompatibilityChecker::SequenceCheck> CompatibilityCheckerImpl::start_sequence_check(HwVersion) const {
  return std::make_unique<SequenceRules>();
}

LayerMappingStatus CompatibilityCheckerImpl::check_layer_sequence(LayerIterator first, LayerIterator last,
                                                                  HwVersion) const {
  return v1::check_layer_sequence(first, last);
}

LayerMappingStatus CompatibilityCheckerImpl::check_layer_mappings(const Layer& layer,
                                                                  const std::vector<hw::Component>& components) const {
  LayerMappingStatus status("");
  switch (layer.params()->layer_type()) {
    case LayerType::Convolutional:
      status = check_std_cnp_mappings(layer, components, device->version());
      break;
    case LayerType::SeparableConvolutional:
      status = check_sep_cnp_mappings(layer, components);
      break;
    case LayerType::InputConvolutional:
    case LayerType::FullyConnected:
      break;
    default:
      return LayerMappingError(layer, kMsgUnknownLayerType);
  }
  if (!status.success()) return status;
  for (const hw::Component& component : components) {
    if (component.type != hw::Type::CNP1 && component.type != hw::Type::CNP2) continue;
    const uint64_t width = hw::np_share_or_default(component).spatial_partition.shape[0];
    const uint64_t rounded = (width + kNpInputWidthAlign - 1) / kNpInputWidthAlign * kNpInputWidthAlign;
    if (rounded > kMaxNpInputWidth) {
      status = LayerMappingError(layer, np_input_width_message(rounded, kMaxNpInputWidth));
    }
  }
  return status;
}

bool CompatibilityCheckerImpl::is_sram_input_fit_single_buffer(hw::Type, uint32_t height, uint32_t width,
                                                               uint32_t channels, uint32_t, uint8_t input_bits,
                                                               uint32_t) const {
  return input_chunk_words(height, width, channels, input_bits) <= constraints->input_sram_single_buffer_size;
}

bool CompatibilityCheckerImpl::is_sram_input_fit_dual_buffer(hw::Type, uint32_t height, uint32_t width,
                                                             uint32_t channels, uint32_t, uint8_t input_bits,
                                                             uint32_t) const {
  return input_chunk_words(height, width, channels, input_bits) <= constraints->input_sram_dual_buffer_size;
}

bool CompatibilityCheckerImpl::is_weights_size_fit_np(const Layer& layer, uint32_t filters) const {
  return check_weights_size_fit_cnp(*constraints, layer, filters);
}

// Reads the six keys the splitter needs, in this order, and no other.
NpSplitParams CompatibilityCheckerImpl::np_split_params(hw::Type, const LayerParams& params) const {
  const auto get = [&](const char* key) { return static_cast<uint32_t>(params.get(key)); };
  const uint32_t half_width = get("kernel_width") / 2;
  const uint32_t half_height = get("kernel_height") / 2;
  const uint32_t pool_type = get("pool_type");
  const uint32_t pooling_width = get("pooling_width");
  const uint32_t pooling_height = get("pooling_height");
  const uint32_t filters = get("filters");
  return NpSplitParams{half_width,    half_width,     half_height, half_height, pool_type,
                       pooling_width, pooling_height, filters};
}

bool CompatibilityCheckerImpl::check_fnp3_sram_size(const HardwareConstraints& table, const Layer& layer) const {
  return v1::is_fnp_type_compatible(table, layer, hw::Type::FNP3);
}

}  // namespace ornix::v1
