#include <algorithm>
#include <cstdlib>
#include <stdexcept>

#include "backend/v1/cnp_weight_format.h"
#include "backend/v1/cnp_weight_sizes.h"
#include "backend/v1/cnp_weight_stream.h"
#include "backend/v1/cnp_weight_tensor.h"
#include "backend/v1/weight_format_limits.h"
#include "backend/v1/weight_format_messages.h"

namespace ornix::v1 {

namespace {

// [3] v > 0 | [2:0] |v| mod 8
uint64_t code4(int8_t value) {
  const int32_t v = value;
  return static_cast<uint64_t>(((v < 0 ? -v : v) & 7) | (v > 0 ? 8 : 0));
}

uint32_t group_slots(uint32_t kernel) {
  switch (kernel) {
    case 3:
      return kGroupSlots4bitK3;
    case 5:
      return kGroupSlots4bitK5;
    case 7:
      return kGroupSlots4bitK7;
    default:
      throw std::runtime_error(kMsgUnsupportedKernelSize);
  }
}

// The codes of one kernel row of every filter of one channel: codes[row * slots + filter], column
// 0 lowest. Each kernel position is coded for all filters at once, without a branch, and for
// filters side by side (the reversed layout) in a loop the compiler vectorizes. Slots past the
// filters keep code 0.
void code_rows(const KernelView& view, uint32_t channel, uint32_t first_filter, uint32_t filters, size_t slots,
               std::vector<uint64_t>* codes) {
  std::fill(codes->begin(), codes->end(), 0);
  const size_t step = view.filter_stride;
  for (uint32_t row = 0; row < view.kernel; ++row) {
    uint64_t* row_codes = codes->data() + row * slots;
    for (uint32_t column = 0; column < view.kernel; ++column) {
      const int8_t* values = &view.at(first_filter, channel, row, column);
      const uint32_t shift = column * kCode4Bits;
      if (step == 1) {
        for (size_t j = 0; j < filters; ++j) row_codes[j] |= code4(values[j]) << shift;
      } else {
        for (size_t j = 0; j < filters; ++j) row_codes[j] |= code4(values[j * step]) << shift;
      }
    }
  }
}

// 1x1: 12 codes a slot, filter order; the codes of a slot go in at once.
void pack_1x1(const std::vector<uint64_t>& codes, SlotWriter* writer) {
  constexpr uint32_t kPerSlot = kSlotPayloadBits48 / kCode4Bits;
  for (size_t first = 0; first < codes.size(); first += kPerSlot) {
    const size_t count = std::min<size_t>(kPerSlot, codes.size() - first);
    uint64_t slot = 0;
    for (size_t j = 0; j < count; ++j) slot |= codes[first + j] << (j * kCode4Bits);
    writer->put_wrapped(slot, static_cast<uint32_t>(count) * kCode4Bits, kSlotPayloadBits48);
  }
}

// One group of 8 filters from the channel's row codes: row, then filter; a 7x7 row breaks after
// every third filter and at its end. A filter's codes of one row go in at once: they split
// across two slots exactly where code by code would.
void pack_group(const std::vector<uint64_t>& codes, size_t slots, uint32_t k, uint32_t group_first,
                SlotWriter* writer) {
  const uint32_t limit = k == 3 ? kSlotPayloadBits48 : kWeightWordBits;
  for (uint32_t row = 0; row < k; ++row) {
    const uint64_t* row_codes = codes.data() + row * slots + group_first;
    for (uint32_t j = 0; j < kFilterGroup; ++j) {
      writer->put_wrapped(row_codes[j], k * kCode4Bits, limit);
      if (k == 7 && j % 3 == 2) writer->close_slot();
    }
    if (k == 7) writer->close_slot();
  }
}

}  // namespace

size_t std_cnp_4bit_weight_words(const Dense& weights, uint32_t first_filter, uint32_t filters) {
  const KernelView view = kernel_view(weights, first_filter, filters);
  return size_t{get_std_cnp_sram_size(view.kernel, 1, filters, kWeights4Bit)} * view.channels;
}

std::vector<uint32_t> format_4bits_std_cnp_weights(const Dense& weights, uint32_t first_filter, uint32_t filters) {
  std::vector<uint32_t> words(std_cnp_4bit_weight_words(weights, first_filter, filters), 0);
  pack_4bits_std_cnp_weights(weights, first_filter, filters, words);
  return words;
}

void pack_4bits_std_cnp_weights(const Dense& weights, uint32_t first_filter, uint32_t filters,
                                std::span<uint32_t> words) {
  const KernelView view = kernel_view(weights, first_filter, filters);
  const uint32_t k = view.kernel;
  const uint32_t block_slots = get_std_cnp_sram_size(k, 1, filters, kWeights4Bit) / kSlotWords;
  check_stream_words(words, size_t{block_slots} * kSlotWords * view.channels);
  if (k == 1) {
    std::vector<uint64_t> codes(filters);
    for (uint32_t channel = 0; channel < view.channels; ++channel) {
      code_rows(view, channel, first_filter, filters, filters, &codes);
      SlotWriter writer(words, static_cast<size_t>(channel) * block_slots);
      pack_1x1(codes, &writer);
      writer.flush();
    }
    return;
  }
  const uint32_t slots_per_group = group_slots(k);
  // Whole groups of filter slots.
  const size_t slots = (size_t{filters} + kFilterGroup - 1) / kFilterGroup * kFilterGroup;
  std::vector<uint64_t> codes(k * slots);
  for (uint32_t channel = 0; channel < view.channels; ++channel) {
    code_rows(view, channel, first_filter, filters, slots, &codes);
    for (uint32_t group = 0; group * kFilterGroup < filters; ++group) {
      SlotWriter writer(words, static_cast<size_t>(channel) * block_slots + group * slots_per_group);
      pack_group(codes, slots, k, group * kFilterGroup, &writer);
      writer.flush();
    }
  }
}

}  // namespace ornix::v1
