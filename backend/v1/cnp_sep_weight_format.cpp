#include <algorithm>
#include <stdexcept>
#include <vector>

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

// Depthwise channels coded at a time.
constexpr uint32_t kChannelTile = 64;

// The first weight of channels tile .. tile + n - 1 outside `wb` signed bits, in channel, row,
// column order, panics as int32_to_intN does.
void refuse_out_of_range(const KernelView& view, uint32_t tile, uint32_t n, int weights_bits) {
  for (uint32_t channel = tile; channel < tile + n; ++channel) {
    for (uint32_t row = 0; row < view.kernel; ++row) {
      for (uint32_t column = 0; column < view.kernel; ++column) signed_code(view.at(0, channel, row, column), weights_bits);
    }
  }
}

// The row codes of channels tile .. tile + n - 1: codes[row * kChannelTile + t], column 0
// lowest, each weight's `wb`-bit two's-complement code. Each kernel position is coded for all
// channels at once, without a branch per weight.
void code_tile(const KernelView& view, uint32_t tile, uint32_t n, uint32_t wb, std::vector<uint64_t>* codes) {
  std::fill(codes->begin(), codes->end(), 0);
  const size_t step = view.channel_stride;
  const int32_t lowest = -(int32_t{1} << (wb - 1));
  const uint32_t span = uint32_t{1} << wb;  // codes a weight may take
  const uint64_t mask = span - 1;
  uint32_t outside = 0;
  for (uint32_t row = 0; row < view.kernel; ++row) {
    uint64_t* row_codes = codes->data() + size_t{row} * kChannelTile;
    for (uint32_t column = 0; column < view.kernel; ++column) {
      const int8_t* values = &view.at(0, tile, row, column);
      const uint32_t shift = column * wb;
      const auto add = [&](size_t t, int32_t value) {
        outside |= static_cast<uint32_t>(value - lowest) >= span;
        row_codes[t] |= (static_cast<uint64_t>(static_cast<uint32_t>(value)) & mask) << shift;
      };
      if (step == 1) {
        for (size_t t = 0; t < n; ++t) add(t, values[t]);
      } else {
        for (size_t t = 0; t < n; ++t) add(t, values[t * step]);
      }
    }
  }
  if (outside != 0) refuse_out_of_range(view, tile, n, static_cast<int>(wb));
}

// `codes` of `wb` bits each, a slot's worth (up to bit 48) at a time, each slot's in one go.
template <uint32_t wb>
void put_slots(const std::vector<uint32_t>& codes, SlotWriter* writer) {
  constexpr uint32_t kPerSlot = kSlotPayloadBits48 / wb;
  size_t first = 0;
  for (; first + kPerSlot <= codes.size(); first += kPerSlot) {
    uint64_t slot = 0;
    for (uint32_t j = 0; j < kPerSlot; ++j) slot |= uint64_t{codes[first + j]} << (j * wb);
    writer->put_wrapped(slot, kSlotPayloadBits48, kSlotPayloadBits48);
  }
  uint64_t rest = 0;
  for (size_t j = first; j < codes.size(); ++j) rest |= uint64_t{codes[j]} << ((j - first) * wb);
  if (first < codes.size()) writer->put_wrapped(rest, static_cast<uint32_t>(codes.size() - first) * wb, kSlotPayloadBits48);
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
  // A tile of channels at a time: each kernel position is coded for all of them at once, read
  // along the channels (side by side in the reversed layout), then the rows are put channel by
  // channel.
  std::vector<uint64_t> codes(size_t{k} * kChannelTile);
  SlotWriter writer(words, 0);
  for (uint32_t tile = 0; tile < view.channels; tile += kChannelTile) {
    const uint32_t n = std::min(kChannelTile, view.channels - tile);
    code_tile(view, tile, n, wb, &codes);
    for (uint32_t t = 0; t < n; ++t) {
      if (tile + t > 0 && writer.position() + k * row_bits > kWeightWordBits) writer.next_slot();
      for (uint32_t row = 0; row < k; ++row) {
        if (writer.position() + row_bits > kWeightWordBits) writer.next_slot();
        writer.put(codes[size_t{row} * kChannelTile + t], row_bits);
      }
    }
  }
  writer.flush();
  return words;
}

size_t sep_cnp_pw_weight_words(const Dense& weights, int weights_bits, uint32_t first_filter, uint32_t filters) {
  check_separable_bits(weights_bits);
  const PointwiseView view = pointwise_view(weights, first_filter, filters);
  return size_t{get_nb_words_per_pw_channel(filters, weights_bits)} * kSlotWords * view.channels;
}

std::vector<uint32_t> format_sep_cnp_pw_weights(const Dense& weights, int weights_bits, uint32_t first_filter,
                                                uint32_t filters) {
  std::vector<uint32_t> words(sep_cnp_pw_weight_words(weights, weights_bits, first_filter, filters), 0);
  pack_sep_cnp_pw_weights(weights, weights_bits, first_filter, filters, words);
  return words;
}

// Per input channel, get_nb_words_per_pw_channel slots: [codes of the filters, wb bits each,
// up to bit 48], then the next slot.
void pack_sep_cnp_pw_weights(const Dense& weights, int weights_bits, uint32_t first_filter, uint32_t filters,
                             std::span<uint32_t> words) {
  check_separable_bits(weights_bits);
  const PointwiseView view = pointwise_view(weights, first_filter, filters);
  const uint32_t channel_slots = get_nb_words_per_pw_channel(filters, weights_bits);
  check_stream_words(words, size_t{channel_slots} * kSlotWords * view.channels);
  const auto wb = static_cast<uint32_t>(weights_bits);
  const int32_t lowest = -(int32_t{1} << (wb - 1));
  const uint32_t span = uint32_t{1} << wb;  // codes a weight may take
  std::vector<uint32_t> codes(filters);
  for (uint32_t channel = 0; channel < view.channels; ++channel) {
    // The channel's codes at once, without a branch per weight, the range checked once.
    const int8_t* values = &view.at(channel, first_filter);
    const size_t step = view.filter_stride;
    uint32_t outside = 0;
    const auto code = [&](size_t j, int32_t value) {
      outside |= static_cast<uint32_t>(value - lowest) >= span;
      codes[j] = static_cast<uint32_t>(value) & (span - 1);
    };
    if (step == 1) {
      for (size_t j = 0; j < filters; ++j) code(j, values[j]);
    } else {
      for (size_t j = 0; j < filters; ++j) code(j, values[j * step]);
    }
    if (outside != 0) {
      for (uint32_t j = 0; j < filters; ++j) signed_code(values[j * step], weights_bits);
    }
    SlotWriter writer(words, static_cast<size_t>(channel) * channel_slots);
    if (wb == kWeights4Bit) {
      put_slots<kWeights4Bit>(codes, &writer);
    } else {
      put_slots<kWeights2Bit>(codes, &writer);
    }
    writer.flush();
  }
}

}  // namespace ornix::v1
