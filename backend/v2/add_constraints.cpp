#include "backend/v2/add_constraints.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "backend/v2/add_tnp_limits.h"
#include "backend/v2/add_tnp_messages.h"
#include "ornix/tensor.h"

namespace ornix::v2 {

namespace {

LayerMappingStatus passed() { return LayerMappingStatus(""); }

LayerMappingStatus check_add_activation(const Layer& layer) {
  return layer.has_activation() ? LayerMappingError(layer, kMsgAddActivation) : passed();
}

LayerMappingStatus check_add_output_bits(const Layer& layer) {
  return layer.output_bits() != kAddOutputBits ? LayerMappingError(layer, kMsgAddOutputBits) : passed();
}

// Only the first outbound layer is the merge layer.
LayerMappingStatus check_add_merge_layer(const Layer& layer) {
  const auto outbounds = layer.outbound_layers();
  if (outbounds.empty() || !outbounds.front() || !outbounds.front()->is_target_component(ComponentKind::CNP)) {
    return LayerMappingError(layer, kMsgAddNoMergeLayer);
  }
  return passed();
}

}  // namespace

LayerMappingStatus check_add_shifts(const Layer& layer) {
  const Variables& variables = layer.variables();
  const std::shared_ptr<const Dense> a_shift = variables.get("a_shift");
  const std::shared_ptr<const Dense> b_shift = variables.get("b_shift");
  const std::shared_ptr<const Dense> output_shift = variables.get("output_shift");
  const uint32_t channels = a_shift->shape()[0];
  for (uint32_t i = 0; i < channels; ++i) {
    const int32_t a = a_shift->at<uint8_t>({i});
    const int32_t b = b_shift->at<uint8_t>({i});
    const int32_t output = output_shift->at<int8_t>({i});
    if (std::abs(a - b) > kAddMaxInputShiftGap) {
      return LayerMappingError(layer, add_input_shift_message(kAddMaxInputShiftGap));
    }
    const int32_t effective = std::max(a, b) + output;
    if (effective < kAddMinOutputShift || effective > kAddMaxOutputShift) {
      return LayerMappingError(layer, add_output_shift_message(kAddMinOutputShift, kAddMaxOutputShift));
    }
  }
  return passed();
}

LayerMappingStatus check_add_constraints(const Layer& layer) {
  for (const auto check : {check_add_activation, check_add_output_bits, check_add_shifts, check_add_merge_layer}) {
    LayerMappingStatus status = check(layer);
    if (!status.success()) return status;
  }
  return passed();
}

}  // namespace ornix::v2
