// The two transposed checks of conv_constraints.h.
#include "backend/v2/conv_constraints.h"

#include "backend/v2/conv_constraint_limits.h"
#include "backend/v2/conv_constraint_messages.h"
#include "backend/v2/conv_rules.h"

namespace ornix::v2 {

namespace {

// The steps both transposed forms share; `weights_bits` is the value the layer type reads.
LayerMappingStatus check_transposed_rules(const HardwareConstraints& constraints, const Layer& layer,
                                          int32_t weights_bits) {
  LayerMappingStatus status(layer);
  merge_mapping_status(status, check_cnp_conv_layer(constraints, layer));
  merge_mapping_status(status, check_value_in(layer, layer.input_bits(), kTransposedInputBits, kMsgInputBits8));
  merge_mapping_status(status, check_output_bitwidth(layer, false));
  merge_mapping_status(status, check_value_in(layer, weights_bits, kTransposedWeightsBits, kMsgWeightsBits8));
  merge_mapping_status(status, check_value_in(layer, param_of(layer, "kernel_size"), kTransposedKernelSizes,
                                              kMsgTransposedKernelSize));
  return status;
}

}  // namespace

LayerMappingStatus check_conv2dtranspose_constraints(const HardwareConstraints& constraints, const Layer& layer) {
  const int32_t bits = weights_bits_low_byte(layer);
  LayerMappingStatus status = check_transposed_rules(constraints, layer, bits);
  if (status.success()) {
    merge_mapping_status(status,
                         check_filter_fit(constraints, layer, static_cast<uint8_t>(bits), kMsgTransposedFilterFit));
  }
  return status;
}

LayerMappingStatus check_dwconv2dtranspose_constraints(const HardwareConstraints& constraints, const Layer& layer) {
  return check_transposed_rules(constraints, layer, weights_bits_whole(layer));
}

}  // namespace ornix::v2
