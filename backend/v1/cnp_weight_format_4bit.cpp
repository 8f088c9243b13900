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
  return static_cast<uint64_t>(std::abs(value) % 8 + (value > 0 ? 8 : 0));
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

// 1x1: 12 codes a slot, filter order.
void pack_1x1(const KernelView& view, uint32_t channel, uint32_t first_filter, uint32_t filters,
              SlotWriter* writer) {
  for (uint32_t j = 0; j < filters; ++j) {
    writer->put_wrapped(code4(view.at(first_filter + j, channel, 0, 0)), kCode4Bits, kSlotPayloadBits48);
  }
}

// One group of 8 filters: row, then filter, then column; a 7x7 row breaks after every third
// filter and at its end. A filter's codes of one row go in at once: they split across two slots
// exactly where code by code would.
void pack_group(const KernelView& view, uint32_t channel, uint32_t group_first, uint32_t in_group,
                SlotWriter* writer) {
  const uint32_t k = view.kernel;
  const uint32_t limit = k == 3 ? kSlotPayloadBits48 : kWeightWordBits;
  // Per filter of the group, per row, the row's codes, column 0 lowest; absent filters keep 0.
  // Filters innermost, which the reversed layout keeps contiguous.
  uint64_t codes[kFilterGroup][kMaxKernelWidth] = {};
  for (uint32_t row = 0; row < k; ++row) {
    for (uint32_t column = 0; column < k; ++column) {
      for (uint32_t j = 0; j < in_group; ++j) {
        codes[j][row] |= code4(view.at(group_first + j, channel, row, column)) << (column * kCode4Bits);
      }
    }
  }
  for (uint32_t row = 0; row < k; ++row) {
    for (uint32_t j = 0; j < kFilterGroup; ++j) {
      writer->put_wrapped(codes[j][row], k * kCode4Bits, limit);
      if (k == 7 && j % 3 == 2) writer->close_slot();
    }
    if (k == 7) writer->close_slot();
  }
}

}  // namespace

std::vector<uint32_t> format_4bits_std_cnp_weights(const Dense& weights, uint32_t first_filter, uint32_t filters) {
  const KernelView view = kernel_view(weights, first_filter, filters);
  const uint32_t k = view.kernel;
  const uint32_t block_slots = get_std_cnp_sram_size(k, 1, filters, kWeights4Bit) / kSlotWords;
  std::vector<uint32_t> words(static_cast<size_t>(block_slots) * kSlotWords * view.channels, 0);
  if (k == 1) {
    for (uint32_t channel = 0; channel < view.channels; ++channel) {
      SlotWriter writer(&words, static_cast<size_t>(channel) * block_slots);
      pack_1x1(view, channel, first_filter, filters, &writer);
      writer.flush();
    }
    return words;
  }
  const uint32_t slots_per_group = group_slots(k);
  for (uint32_t channel = 0; channel < view.channels; ++channel) {
    for (uint32_t group = 0; group * kFilterGroup < filters; ++group) {
      const uint32_t done = group * kFilterGroup;
      const uint32_t in_group = std::min(kFilterGroup, filters - done);
      SlotWriter writer(&words, static_cast<size_t>(channel) * block_slots + group * slots_per_group);
      pack_group(view, channel, first_filter + done, in_group, &writer);
      writer.flush();
    }
  }
  return words;
}

}  // namespace ornix::v1
