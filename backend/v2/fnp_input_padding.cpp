#include "backend/v2/fnp_input_padding.h"

#include <memory>
#include <vector>

namespace ornix::v2 {

namespace {

uint32_t roundup4(uint32_t n) { return (n + 3) & ~uint32_t{3}; }

// Slots of n values of `bits` bits stored from a word boundary: the values plus the bytes that
// round their byte count up to a multiple of 4.
uint32_t padded(uint32_t n, uint32_t bits) {
  const uint32_t bytes = (bits * n + 7) / 8;
  return n - bytes + roundup4(bytes);
}

}  // namespace

InputPadding get_fnp_supported_padding(const Layer& layer, bool flat_input) {
  const Shape input = layer.input_dimensions().at(0);
  const uint32_t x = input[0], y = input[1], c = input[2];
  bool from_spatial = false, from_hrc = false;
  if (!flat_input) {
    const std::vector<std::shared_ptr<const Layer>> inbounds = layer.inbound_layers();
    if (!inbounds.empty()) {
      const Layer& inbound = *inbounds.front();
      from_spatial = inbound.is_target_component(ComponentKind::CNP) ||
                     inbound.is_target_component(ComponentKind::TNP_B);
      from_hrc = inbound.is_target_component(ComponentKind::HRC);
    }
  }
  const uint32_t input_bits = layer.input_bits();
  const auto weights_bits = static_cast<uint32_t>(layer.params()->get("weights_bits"));

  if (!from_spatial && !from_hrc) return padded(x * y * c, input_bits) <= kFnpInputSlots ? InputPadding::Packed
                                                                                         : InputPadding::Unfit;
  if (input_bits == 8 && weights_bits == 8 && from_spatial && roundup4(x) * c * y <= kFnpInputSlots) {
    return InputPadding::ChannelRowAligned;
  }
  return padded(x * c, input_bits) * y <= kFnpInputSlots ? InputPadding::RowAligned : InputPadding::Unfit;
}

}  // namespace ornix::v2
