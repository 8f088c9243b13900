#include "backend/v2/fnp_input_layout.h"

#include <memory>
#include <stdexcept>

#include "backend/v2/fnp_limits.h"
#include "backend/v2/fnp_messages.h"

namespace ornix::v2 {

namespace {

// Wide enough that no input size wraps around the 2048-slot test.
uint64_t div_ceil(uint64_t value, uint64_t divisor) { return (value + divisor - 1) / divisor; }
uint64_t round_up4(uint64_t value) { return div_ceil(value, 4) * 4; }

// Slots of n values of `bits` bits laid back to back: the values plus the bytes that bring their
// byte count to a multiple of 4. n for 8-bit values rounded up to 4.
uint64_t padded(uint64_t values, uint32_t bits) {
  const uint64_t bytes = div_ceil(bits * values, kFnpByteBits);
  return values - bytes + round_up4(bytes);
}

// The layer that computes the layer's input on the device: its first inbound layer, or null
// when it has none, when that entry is empty or when it is the model's input layer.
std::shared_ptr<const Layer> producer(const Layer& layer) {
  const auto inbounds = layer.inbound_layers();
  if (inbounds.empty() || inbounds.front() == nullptr) return nullptr;
  if (inbounds.front()->params()->layer_type() == LayerType::InputData) return nullptr;
  return inbounds.front();
}

bool reads_flat(const Layer& layer, bool flat_input) { return flat_input || producer(layer) == nullptr; }

Shape first_input(const Layer& layer) {
  Shape input = layer.input_dimensions().at(0);
  if (input.size() < 3) throw std::runtime_error(kMsgFnpPaddingUndefined);
  return input;
}

}  // namespace

InputPadding get_fnp_supported_padding(const Layer& layer, bool flat_input) {
  const Shape input = first_input(layer);
  const uint64_t x = input[0];
  const uint64_t y = input[1];
  const uint64_t c = input[2];
  const std::shared_ptr<const Layer> inbound = reads_flat(layer, flat_input) ? nullptr : producer(layer);
  const bool from_spatial = inbound != nullptr && (inbound->is_target_component(ComponentKind::CNP) ||
                                                   inbound->is_target_component(ComponentKind::TNP_B));
  const bool from_hrc = inbound != nullptr && inbound->is_target_component(ComponentKind::HRC);
  const uint32_t input_bits = layer.input_bits();

  if (!from_spatial && !from_hrc) {
    return padded(x * y * c, input_bits) <= kFnpInputSlots ? InputPadding::Packed : InputPadding::Unfit;
  }
  const bool bytes_in_and_out =
      input_bits == kFnp8Bits && param_of(layer, "weights_bits") == static_cast<int32_t>(kFnp8Bits);
  if (from_spatial && bytes_in_and_out && round_up4(x) * c * y <= kFnpInputSlots) {
    return InputPadding::ChannelRowAligned;
  }
  return padded(x * c, input_bits) * y <= kFnpInputSlots ? InputPadding::RowAligned : InputPadding::Unfit;
}

Shape get_fnp_input_dim(const Layer& layer, bool flat_input) {
  const Shape input = layer.input_dimensions().at(0);
  if (!reads_flat(layer, flat_input)) return input;
  return Shape{1, 1, input[0] * input[1] * input[2]};
}

}  // namespace ornix::v2
