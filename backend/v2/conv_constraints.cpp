#include "backend/v2/conv_constraints.h"

#include <span>

#include "backend/v2/conv_constraint_limits.h"
#include "backend/v2/conv_constraint_messages.h"
#include "backend/v2/conv_rules.h"
#include "backend/v2/weights_bitwidth_check.h"

namespace ornix::v2 {

namespace {

// The steps Conv2D and DepthwiseConv2D share, up to the weight values; `weights_bits` is the
// value the layer type's own rules read.
LayerMappingStatus check_pooled_conv_rules(const HardwareConstraints& constraints, const Layer& layer,
                                           int32_t weights_bits, std::span<const int32_t> kernel_sizes,
                                           const char* kernel_message) {
  LayerMappingStatus status(layer);
  merge_mapping_status(status, check_cnp_conv_layer(constraints, layer));
  merge_mapping_status(status, check_value_in(layer, layer.input_bits(), kCnpInputBits, kMsgInputBits4Or8));
  merge_mapping_status(status, check_padding_same(layer));
  merge_mapping_status(status, check_pooling_constraints(constraints, layer));
  merge_mapping_status(status,
                       check_value_in(layer, param_of(layer, "kernel_size"), kernel_sizes, kernel_message));
  merge_mapping_status(status, check_output_bitwidth(layer, true));
  merge_mapping_status(status, check_value_in(layer, weights_bits, kCnpWeightsBits, kMsgWeightsBits4Or8));
  merge_mapping_status(status, check_weights_bitwidth(layer));
  return status;
}

}  // namespace

LayerMappingStatus check_conv2d_constraints(const HardwareConstraints& constraints, const Layer& layer) {
  const int32_t bits = weights_bits_low_byte(layer);
  LayerMappingStatus status = check_pooled_conv_rules(constraints, layer, bits, kConv2DKernelSizes,
                                                      kMsgConv2DKernelSize);
  if (status.success()) {
    merge_mapping_status(status,
                         check_filter_fit(constraints, layer, static_cast<uint8_t>(bits), kMsgConv2DFilterFit));
  }
  merge_mapping_status(status, check_4bit_weights_8bit_output(layer, bits, false, kMsg4bitWeights8bitPotential));
  return status;
}

LayerMappingStatus check_dwconv2d_constraints(const HardwareConstraints& constraints, const Layer& layer) {
  const int32_t bits = weights_bits_whole(layer);
  LayerMappingStatus status = check_pooled_conv_rules(constraints, layer, bits, kDepthwiseKernelSizes,
                                                      kMsgDepthwiseKernelSize);
  merge_mapping_status(status, check_4bit_weights_8bit_output(layer, bits, true, kMsg4bitWeights8bitActivation));
  return status;
}

}  // namespace ornix::v2
