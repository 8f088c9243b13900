#include "backend/v2/conv_rules.h"

#include <algorithm>

#include "backend/v2/cnp_weight_sizes.h"
#include "backend/v2/conv_constraint_limits.h"
#include "backend/v2/conv_constraint_messages.h"
#include "backend/v2/shift_lut_format.h"

namespace ornix::v2 {

LayerMappingStatus check_rule(const Layer& layer, bool broken, const std::string& message) {
  if (broken) return LayerMappingError(layer, message);
  return LayerMappingStatus(layer);
}

int32_t weights_bits_low_byte(const Layer& layer) {
  return static_cast<uint8_t>(param_of(layer, "weights_bits"));
}

int32_t weights_bits_whole(const Layer& layer) { return param_of(layer, "weights_bits"); }

LayerMappingStatus check_cnp_conv_layer(const HardwareConstraints& constraints, const Layer& layer) {
  const LayerParams& params = *layer.params();
  LayerMappingStatus status(layer);
  merge_mapping_status(status,
                       check_rule(layer, layer.has_activation() && layer.output_bits() > kActivationOutputMaxBits,
                                  kMsgActivationOutputAtMost8));
  const bool input_narrower = static_cast<int32_t>(layer.input_bits()) < weights_bits_whole(layer);
  merge_mapping_status(status, check_rule(layer, input_narrower, kMsgInputBitsBelowWeightsBits));
  merge_mapping_status(status, check_cnp_input_size(constraints, layer));

  const uint32_t filters = params.has("filters") ? static_cast<uint32_t>(params.get("filters"))
                                                 : layer.input_dimensions().at(0)[2];
  merge_mapping_status(status, check_rule(layer, constraints.max_filters < filters,
                                          max_filters_message(constraints.max_filters, filters)));

  const uint32_t shift_words = cnp_tnp_input_shift_24b_size(*layer.variables().get("input_shift"));
  const uint64_t max_bytes = uint64_t{kInputShiftWordBytes} * constraints.input_shift_memory_size;
  const uint64_t shift_bytes = uint64_t{kInputShiftWordBytes} * shift_words;
  merge_mapping_status(status, check_rule(layer, constraints.input_shift_memory_size < shift_words,
                                          input_shift_memory_message(max_bytes, shift_bytes)));
  return status;
}

LayerMappingStatus check_cnp_input_size(const HardwareConstraints& constraints, const Layer& layer) {
  const Shape input = layer.input_dimensions().at(0);
  LayerMappingStatus status(layer);
  merge_mapping_status(status, check_rule(layer, constraints.max_input_width < input[0],
                                          max_input_width_message(constraints.max_input_width, input[0])));
  merge_mapping_status(status, check_rule(layer, constraints.max_input_height < input[1],
                                          max_input_height_message(constraints.max_input_height, input[1])));
  merge_mapping_status(status, check_rule(layer, constraints.max_input_channels < input[2],
                                          max_input_channels_message(constraints.max_input_channels, input[2])));
  return status;
}

LayerMappingStatus check_padding_same(const Layer& layer) {
  return check_rule(layer, param_of(layer, "padding") != static_cast<int32_t>(Padding::Same), kMsgPaddingSameOnly);
}

LayerMappingStatus check_output_bitwidth(const Layer& layer, bool allow_4bit) {
  const uint32_t bits = layer.output_bits();
  if (!layer.has_activation()) {
    return check_value_in(layer, static_cast<int32_t>(bits), kNoActivationOutputBits, kMsgNoActivationOutput);
  }
  if (bits == kActivationOutputBits) return LayerMappingStatus(layer);

  LayerMappingStatus status(layer);
  const bool four_bits = bits == kActivationOutput4Bits;
  if (!four_bits || !allow_4bit) {
    merge_mapping_status(status,
                         LayerMappingError(layer, allow_4bit ? kMsgActivationOutput4Or8 : kMsgActivationOutput8));
  }
  if (four_bits) {
    const bool relu = param_of(layer, "activation") == static_cast<int32_t>(ActivationType::ReLU);
    merge_mapping_status(status, check_rule(layer, !relu, kMsgLut4bitActivation));
  }
  return status;
}

LayerMappingStatus check_value_in(const Layer& layer, int32_t value, std::span<const int32_t> allowed,
                                  const std::string& message) {
  return check_rule(layer, std::find(allowed.begin(), allowed.end(), value) == allowed.end(), message);
}

LayerMappingStatus check_filter_fit(const HardwareConstraints& constraints, const Layer& layer, uint8_t weights_bits,
                                    const std::string& message) {
  const auto kernel = static_cast<uint32_t>(param_of(layer, "kernel_size"));
  const uint64_t filter_words = uint64_t{conv2d_ch_cont_100b_size(kernel, 1, weights_bits)} *
                                layer.input_dimensions().at(0)[2];
  return check_rule(layer, constraints.cnp_weight_memory_size < filter_words, message);
}

LayerMappingStatus check_4bit_weights_8bit_output(const Layer& layer, int32_t weights_bits, bool with_activation,
                                                  const std::string& message) {
  return check_rule(layer,
                    layer.has_activation() == with_activation &&
                        layer.output_bits() == kRefusedOutputBitsWith4bitWeights && weights_bits == kFourBitWeights,
                    message);
}

}  // namespace ornix::v2
