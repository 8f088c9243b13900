#include "backend/v2/tnp_r_constraints.h"

#include <algorithm>
#include <cstdint>
#include <string>

#include "backend/v2/add_tnp_limits.h"
#include "backend/v2/add_tnp_messages.h"
#include "backend/v2/rule_status.h"

namespace ornix::v2 {

namespace {

uint32_t unsigned_param(const Layer& layer, const char* key) {
  return static_cast<uint32_t>(param_of(layer, key));
}

// "[1, 4, 16, 32, 64, 128]"
std::string ratio_list() {
  std::string text = "[";
  for (const uint32_t ratio : kTnpRSubsampleRatios) {
    if (text.size() > 1) text += ", ";
    text += std::to_string(ratio);
  }
  return text + "]";
}

LayerMappingStatus check_tnp_r_input_bits(const Layer& layer) {
  return rule_status(layer, layer.input_bits() == kTnpRInputBits, kMsgTnpRInputBits);
}

// One time step of at most 256 channels; both findings folded.
LayerMappingStatus check_tnp_r_input_dimensions(const Layer& layer) {
  const Shape input = layer.input_dimensions().at(0);
  LayerMappingStatus status(layer);
  merge_mapping_status(status, rule_status(layer, input[1] == kTnpRInputTime,
                                           max_input_time_message(kTnpRInputTime, input[1])));
  merge_mapping_status(status, rule_status(layer, input[2] <= kTnpRMaxInputChannels,
                                           max_input_channels_message(kTnpRMaxInputChannels, input[2])));
  return status;
}

LayerMappingStatus check_tnp_r_stateful_channels(const Layer& layer) {
  return rule_status(layer, unsigned_param(layer, "stateful_channels") <= kTnpRMaxStatefulChannels,
                     stateful_channels_message(kTnpRMaxStatefulChannels));
}

LayerMappingStatus check_tnp_r_output_channels(const Layer& layer) {
  return rule_status(layer, unsigned_param(layer, "out_channels") <= kTnpRMaxOutputChannels,
                     output_channels_message(kTnpRMaxOutputChannels));
}

LayerMappingStatus check_tnp_r_subsample_ratio(const Layer& layer) {
  const uint32_t ratio = unsigned_param(layer, "subsample_ratio");
  const bool allowed = std::find(kTnpRSubsampleRatios.begin(), kTnpRSubsampleRatios.end(), ratio) !=
                       kTnpRSubsampleRatios.end();
  return rule_status(layer, allowed, subsample_ratio_message(ratio_list()));
}

}  // namespace

LayerMappingStatus check_tnp_r_constraints(const Layer& layer) {
  LayerMappingStatus result(layer);
  merge_mapping_status(result, check_tnp_r_input_bits(layer));
  merge_mapping_status(result, check_tnp_r_input_dimensions(layer));
  merge_mapping_status(result, check_tnp_r_stateful_channels(layer));
  merge_mapping_status(result, check_tnp_r_output_channels(layer));
  merge_mapping_status(result, check_tnp_r_subsample_ratio(layer));
  return result;
}

}  // namespace ornix::v2
