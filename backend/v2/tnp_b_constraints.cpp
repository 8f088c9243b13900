#include "backend/v2/tnp_b_constraints.h"

#include <cstdint>

#include "backend/v2/add_tnp_limits.h"
#include "backend/v2/add_tnp_messages.h"
#include "backend/v2/rule_status.h"
#include "backend/v2/shift_lut_format.h"

namespace ornix::v2 {

namespace {

// What the rules read of the layer, read before any rule runs.
struct TnpBLayer {
  uint8_t input_bits;
  uint8_t output_bits;
  uint32_t channels;
  int32_t weights_bits;
  uint32_t filters;  // "filters", else the input channels (the depthwise form has none)
};

TnpBLayer read_tnp_b_layer(const Layer& layer) {
  const LayerParams& params = *layer.params();
  const uint32_t channels = layer.input_dimensions().at(0)[2];
  return TnpBLayer{layer.input_bits(), layer.output_bits(), channels, param_of(layer, "weights_bits"),
                   params.has("filters") ? static_cast<uint32_t>(params.get("filters")) : channels};
}

LayerMappingStatus check_tnp_b_input_bits(const Layer& layer, const TnpBLayer& tnp_b) {
  return rule_status(layer, tnp_b.input_bits == kTnpBBits, kMsgTnpBInputBits);
}

LayerMappingStatus check_tnp_b_output_bits(const Layer& layer, const TnpBLayer& tnp_b) {
  return rule_status(layer, tnp_b.output_bits == kTnpBBits, kMsgTnpBOutputBits);
}

LayerMappingStatus check_tnp_b_weights_bits(const Layer& layer, const TnpBLayer& tnp_b) {
  return rule_status(layer, tnp_b.weights_bits == kTnpBWeightsBits, kMsgTnpBWeightsBits);
}

LayerMappingStatus check_tnp_b_filters(const Layer& layer, const TnpBLayer& tnp_b) {
  return rule_status(layer, tnp_b.filters <= kTnpBMaxFilters, max_filters_message(kTnpBMaxFilters, tnp_b.filters));
}

// The skip-DMA engine moves the frame history one input pixel (all its channels) per line.
LayerMappingStatus check_tnp_b_skip_dma_line(const Layer& layer, const TnpBLayer& tnp_b) {
  const uint64_t words = (uint64_t{tnp_b.input_bits} * tnp_b.channels + kBitsPerWord - 1) / kBitsPerWord;
  return rule_status(layer, words < kSkipDmaLineWordsLimit, skip_dma_line_message(kSkipDmaLineWordsLimit, words));
}

LayerMappingStatus check_tnp_b_input_shift_memory(const HardwareConstraints& constraints, const Layer& layer) {
  const uint32_t words = cnp_tnp_input_shift_24b_size(*layer.variables().get("input_shift"));
  const uint32_t available = constraints.input_shift_memory_size;
  return rule_status(layer, words <= available,
                     input_shift_memory_message(uint64_t{kInputShiftWordBytes} * available,
                                                uint64_t{kInputShiftWordBytes} * words));
}

}  // namespace

LayerMappingStatus check_buffer_temp_conv_input_size(const Layer& layer) {
  const Shape input = layer.input_dimensions().at(0);
  LayerMappingStatus status(layer);
  merge_mapping_status(status, rule_status(layer, input[0] <= kTnpBMaxInputWidth,
                                           max_input_width_message(kTnpBMaxInputWidth, input[0])));
  merge_mapping_status(status, rule_status(layer, input[1] <= kTnpBMaxInputHeight,
                                           max_input_height_message(kTnpBMaxInputHeight, input[1])));
  merge_mapping_status(status, rule_status(layer, input[2] <= kTnpBMaxInputChannels,
                                           max_input_channels_message(kTnpBMaxInputChannels, input[2])));
  return status;
}

LayerMappingStatus check_buffer_temp_conv_layer(const HardwareConstraints& constraints, const Layer& layer) {
  const TnpBLayer tnp_b = read_tnp_b_layer(layer);
  LayerMappingStatus result(layer);
  merge_mapping_status(result, check_tnp_b_input_bits(layer, tnp_b));
  merge_mapping_status(result, check_tnp_b_output_bits(layer, tnp_b));
  merge_mapping_status(result, check_buffer_temp_conv_input_size(layer));
  merge_mapping_status(result, check_tnp_b_weights_bits(layer, tnp_b));
  merge_mapping_status(result, check_tnp_b_filters(layer, tnp_b));
  merge_mapping_status(result, check_tnp_b_skip_dma_line(layer, tnp_b));
  merge_mapping_status(result, check_tnp_b_input_shift_memory(constraints, layer));
  return result;
}

LayerMappingStatus check_buffer_temp_conv_constraints(const HardwareConstraints& constraints, const Layer& layer) {
  return check_buffer_temp_conv_layer(constraints, layer);
}

LayerMappingStatus check_depthwise_buffer_temp_conv_constraints(const HardwareConstraints& constraints,
                                                                const Layer& layer) {
  return check_buffer_temp_conv_layer(constraints, layer);
}

}  // namespace ornix::v2
