#include <stdexcept>

#include "backend/v1/cnp_weight_format.h"
#include "backend/v1/cnp_weight_sizes.h"
#include "backend/v1/cnp_weight_stream.h"
#include "backend/v1/cnp_weight_tensor.h"
#include "backend/v1/weight_format_limits.h"
#include "backend/v1/weight_format_messages.h"
#include "program/register_field.h"

namespace ornix::v1 {

namespace {

// The two's-complement code of a 2- or 4-bit weight.
uint64_t signed_code(int8_t value, int weights_bits) {
  return weights_bits == kWeights2Bit ? int32_to_intN<kWeights2Bit>(value) : int32_to_intN<kWeights4Bit>(value);
}

void check_separable_bits(int weights_bits) {
  if (weights_bits != kWeights2Bit && weights_bits != kWeights4Bit) {
    throw std::invalid_argument(kMsgSeparableWeightsBits);
  }
}

}  // namespace

// Per channel, per row: [k codes, column 0 lowest] where the row fits 50 bits, else at the next
// slot; a channel whose whole kernel would pass bit 50 starts the next slot.
std::vector<uint32_t> format_sep_cnp_dw_weights(const Dense& weights, int weights_bits) {
  check_separable_bits(weights_bits);
  const KernelView view = kernel_view(weights, 0, 1);
  const uint32_t k = view.kernel;
  std::vector<uint32_t> words(dw_weights_stream_words(static_cast<int>(k), view.channels, weights_bits), 0);
  const auto wb = static_cast<uint32_t>(weights_bits);
  const uint32_t row_bits = wb * k;
  SlotWriter writer(&words, 0);
  for (uint32_t channel = 0; channel < view.channels; ++channel) {
    if (channel > 0 && writer.position() + k * row_bits > kWeightWordBits) writer.next_slot();
    for (uint32_t row = 0; row < k; ++row) {
      uint64_t codes = 0;
      for (uint32_t column = 0; column < k; ++column) {
        codes |= signed_code(view.at(0, channel, row, column), weights_bits) << (column * wb);
      }
      if (writer.position() + row_bits > kWeightWordBits) writer.next_slot();
      writer.put(codes, row_bits);
    }
  }
  writer.flush();
  return words;
}

// Per input channel, get_nb_words_per_pw_channel slots: [codes of the filters, wb bits each,
// up to bit 48], then the next slot.
std::vector<uint32_t> format_sep_cnp_pw_weights(const Dense& weights, int weights_bits, uint32_t first_filter,
                                                uint32_t filters) {
  check_separable_bits(weights_bits);
  const PointwiseView view = pointwise_view(weights, first_filter, filters);
  const uint32_t channel_slots = get_nb_words_per_pw_channel(filters, weights_bits);
  std::vector<uint32_t> words(static_cast<size_t>(channel_slots) * kSlotWords * view.channels, 0);
  const auto wb = static_cast<uint32_t>(weights_bits);
  for (uint32_t channel = 0; channel < view.channels; ++channel) {
    SlotWriter writer(&words, static_cast<size_t>(channel) * channel_slots);
    for (uint32_t j = 0; j < filters; ++j) {
      writer.put_wrapped(signed_code(view.at(channel, first_filter + j), weights_bits), wb, kSlotPayloadBits48);
    }
    writer.flush();
  }
  return words;
}

}  // namespace ornix::v1
