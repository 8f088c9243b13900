#include "backend/v2/fnp_constraints.h"

#include <cstdint>

#include "backend/v2/weights_bitwidth_check.h"
#include "backend/v2/fnp_input_layout.h"
#include "backend/v2/fnp_limits.h"
#include "backend/v2/fnp_messages.h"
#include "backend/v2/fnp_sizes.h"

namespace ornix::v2 {

namespace {

// The bit widths the rules read.
struct FnpBits {
  uint32_t input;
  uint32_t output;
  int32_t weights;  // "weights_bits", as the parameter holds it
};

LayerMappingStatus ok(const Layer& layer) { return LayerMappingStatus(layer); }

LayerMappingStatus check_input_bits(const Layer& layer, const FnpBits& bits) {
  if (bits.input == kFnp4Bits || bits.input == kFnp8Bits) return ok(layer);
  return LayerMappingError(layer, kMsgFnpInputBits);
}

LayerMappingStatus check_output_bits(const Layer& layer, const FnpBits& bits) {
  if (bits.output == kFnp4Bits || bits.output >= kFnp8Bits) return ok(layer);
  return LayerMappingError(layer, kMsgFnpOutputBits);
}

// Without activation the FNP gives 8 bits or its 28/32-bit accumulators; with one, 8 bits, or
// 4 bits after a ReLU.
LayerMappingStatus check_activation_output(const Layer& layer, const FnpBits& bits) {
  if (!layer.has_activation()) {
    if (bits.output == kFnp8Bits || bits.output == kFnpAccumulatorBits28 || bits.output == kFnpAccumulatorBits32) {
      return ok(layer);
    }
    return LayerMappingError(layer, kMsgFnpNoActivationOutputBits);
  }
  if (bits.output != kFnp4Bits) {
    return bits.output == kFnp8Bits ? ok(layer) : LayerMappingError(layer, kMsgFnpActivationOutputBits);
  }
  if (param_of(layer, "activation") == static_cast<int32_t>(ActivationType::ReLU)) return ok(layer);
  return LayerMappingError(layer, kMsgFnp4bitActivationNotRelu);
}

// Whether the inbound layer can write its output in that layout.
bool inbound_writes(InputPadding padding, const Layer* inbound) {
  const auto is = [inbound](ComponentKind kind) { return inbound->is_target_component(kind); };
  switch (padding) {
    case InputPadding::Packed:
      return inbound == nullptr || is(ComponentKind::FNP);
    case InputPadding::RowAligned:
      return inbound != nullptr && (is(ComponentKind::CNP) || is(ComponentKind::TNP_B) || is(ComponentKind::HRC));
    case InputPadding::ChannelRowAligned:
      return inbound != nullptr && (is(ComponentKind::CNP) || is(ComponentKind::TNP_B));
    default:
      return false;
  }
}

LayerMappingStatus check_input_layout(const Layer& layer, InputPadding padding, const Layer* inbound) {
  if (inbound_writes(padding, inbound)) return ok(layer);
  return LayerMappingError(layer, fnp_input_too_large_message(kFnpInputSlots));
}

LayerMappingStatus check_weights_bits(const Layer& layer, const FnpBits& bits) {
  if (bits.weights == static_cast<int32_t>(kFnp4Bits) || bits.weights == static_cast<int32_t>(kFnp8Bits)) {
    return ok(layer);
  }
  return LayerMappingError(layer, kMsgFnpWeightsBits);
}

LayerMappingStatus check_4bit_weights_output(const Layer& layer, const FnpBits& bits) {
  if (bits.weights != static_cast<int32_t>(kFnp4Bits) || bits.output != kFnp8Bits) return ok(layer);
  return LayerMappingError(layer, kMsgFnp4bitWeightsOutput);
}

LayerMappingStatus check_input_covers_weights(const Layer& layer, const FnpBits& bits) {
  if (static_cast<int64_t>(bits.input) >= bits.weights) return ok(layer);
  return LayerMappingError(layer, kMsgFnpInputBelowWeightsBits);
}

LayerMappingStatus check_input_shift_memory(const HardwareConstraints& constraints, const Layer& layer,
                                            InputPadding padding) {
  const uint32_t words = fnp_input_shift_24b_size(*layer.variables().get("input_shift"),
                                                  layer.input_dimensions().at(0), padding, layer.input_bits());
  if (words <= constraints.input_shift_memory_size) return ok(layer);
  return LayerMappingError(layer, fnp_input_shift_memory_message(constraints.input_shift_memory_size * kShiftWordBytes,
                                                                 words * kShiftWordBytes));
}

LayerMappingStatus check_input_memory(const HardwareConstraints& constraints, const Layer& layer, bool flat_input) {
  const uint32_t words = get_fnp_input_size(layer, flat_input);
  if (words <= constraints.fnp_input_memory_size) return ok(layer);
  return LayerMappingError(layer, fnp_input_memory_message(constraints.fnp_input_memory_size * kFnpWordBytes,
                                                           words * kFnpWordBytes));
}

}  // namespace

LayerMappingStatus check_fnp_constraints(const HardwareConstraints& constraints, const Layer& layer,
                                         const Layer* inbound) {
  const FnpBits bits{layer.input_bits(), layer.output_bits(), param_of(layer, "weights_bits")};
  const bool flat_input = inbound == nullptr;
  const InputPadding padding = get_fnp_supported_padding(layer, flat_input);

  LayerMappingStatus status(layer);
  merge_mapping_status(status, check_input_bits(layer, bits));
  merge_mapping_status(status, check_output_bits(layer, bits));
  merge_mapping_status(status, check_activation_output(layer, bits));
  merge_mapping_status(status, check_input_layout(layer, padding, inbound));
  merge_mapping_status(status, check_weights_bits(layer, bits));
  merge_mapping_status(status, check_weights_bitwidth(layer));
  merge_mapping_status(status, check_4bit_weights_output(layer, bits));
  merge_mapping_status(status, check_input_covers_weights(layer, bits));
  if (!status.success()) return status;

  merge_mapping_status(status, check_input_shift_memory(constraints, layer, padding));
  merge_mapping_status(status, check_input_memory(constraints, layer, flat_input));
  return status;
}

}  // namespace ornix::v2
