#include "backend/v1/cnp_weight_format.h"

#include <algorithm>
#include <stdexcept>

#include "backend/v1/cnp_weight_sizes.h"
#include "backend/v1/cnp_weight_stream.h"
#include "backend/v1/cnp_weight_tensor.h"
#include "backend/v1/weight_format_limits.h"
#include "backend/v1/weight_format_messages.h"

namespace ornix::v1 {

namespace {

// Kernel positions one byte of a filter's bits holds.
constexpr uint32_t kPositionsPerByte = 8;

// Positive (value 1) and negative (value -1) bits of each filter's kernel of one channel, bit
// row x k + column, as byte planes: plane b holds positions 8b .. 8b + 7 of every filter, the
// filters side by side, so that a kernel position is added to all filters in byte lanes.
struct KernelBits {
  KernelBits(uint32_t kernel, uint32_t filter_count, bool with_negatives)
      : filters(filter_count),
        bytes((kernel * kernel + kPositionsPerByte - 1) / kPositionsPerByte),
        negatives(with_negatives),
        planes(size_t{negatives ? 2u : 1u} * bytes * filter_count) {}

  uint8_t* positive(uint32_t byte) { return planes.data() + size_t{byte} * filters; }
  uint8_t* negative(uint32_t byte) { return planes.data() + size_t{bytes + byte} * filters; }

  uint32_t filters;
  uint32_t bytes;
  bool negatives;  // the negative planes are kept
  std::vector<uint8_t> planes;
};

// Adds the weights of one kernel position of the filters. No branch per
// weight (the values follow no pattern a branch predictor could learn), and for filters side by
// side (the reversed layout) a loop the compiler vectorizes in byte lanes.
void add_position(const int8_t* values, size_t step, uint32_t position, KernelBits* bits) {
  const auto bit = static_cast<uint8_t>(1u << (position % kPositionsPerByte));
  const size_t count = bits->filters;
  const auto add = [&](uint8_t* plane, int8_t value) {
    if (step == 1) {
      for (size_t j = 0; j < count; ++j) plane[j] |= values[j] == value ? bit : uint8_t{0};
    } else {
      for (size_t j = 0; j < count; ++j) plane[j] |= values[j * step] == value ? bit : uint8_t{0};
    }
  };
  add(bits->positive(position / kPositionsPerByte), 1);
  if (bits->negatives) add(bits->negative(position / kPositionsPerByte), -1);
}

// The kernel bits of every filter of the range for one channel; filters innermost.
void gather_kernel_bits(const KernelView& view, uint32_t channel, uint32_t first_filter, KernelBits* bits) {
  std::fill(bits->planes.begin(), bits->planes.end(), 0);
  for (uint32_t row = 0, position = 0; row < view.kernel; ++row) {
    for (uint32_t column = 0; column < view.kernel; ++column, ++position) {
      add_position(&view.at(first_filter, channel, row, column), view.filter_stride, position, bits);
    }
  }
}

// Each filter's bits of byte planes `first` .. `first` + bytes - 1, position 0 lowest.
void gather_groups(const KernelBits& bits, uint32_t first, std::vector<uint64_t>* groups) {
  uint64_t* group = groups->data();
  const uint8_t* plane = bits.planes.data() + size_t{first} * bits.filters;
  for (size_t j = 0; j < bits.filters; ++j) group[j] = plane[j];
  for (uint32_t b = 1; b < bits.bytes; ++b) {
    plane += bits.filters;
    const uint32_t at = b * kPositionsPerByte;
    for (size_t j = 0; j < bits.filters; ++j) group[j] |= uint64_t{plane[j]} << at;
  }
}

// 1x1: a filter's two bits (positive, then negative), 24 filters to the 48 bits of a slot. The
// codes of eight filters are read as one word and their bit pairs pulled together.
void put_pairs(const KernelBits& bits, std::vector<uint8_t>* codes, SlotWriter* writer) {
  uint8_t* code = codes->data();
  const uint8_t* positive = bits.planes.data();
  const uint8_t* negative = positive + bits.filters;
  for (size_t j = 0; j < bits.filters; ++j) code[j] = static_cast<uint8_t>(positive[j] | negative[j] << 1);
  constexpr uint32_t kPerSlot = kSlotPayloadBits48 / 2;
  constexpr size_t kPerWord = 8;
  const auto eight = [&](size_t first) {
    uint64_t word = 0;
    for (size_t i = 0; i < kPerWord; ++i) word |= uint64_t{code[first + i]} << (i * 8);
    word = (word | word >> 6) & 0x000F000F000F000FULL;
    word = (word | word >> 12) & 0x000000FF000000FFULL;
    return (word | word >> 24) & 0xFFFFULL;
  };
  size_t first = 0;
  for (; first + kPerSlot <= bits.filters; first += kPerSlot) {
    writer->put_wrapped(eight(first) | eight(first + kPerWord) << 16 | eight(first + 2 * kPerWord) << 32,
                        kSlotPayloadBits48, kSlotPayloadBits48);
  }
  uint64_t rest = 0;
  for (size_t j = first; j < bits.filters; ++j) rest |= uint64_t{code[j]} << ((j - first) * 2);
  if (first < bits.filters) writer->put(rest, static_cast<uint32_t>(bits.filters - first) * 2);
}

// The checked view of a standard stream and the words of one channel's block (0 for kernel
// widths without kernels).
struct StdStream {
  KernelView view;
  uint32_t block_words = 0;
};

StdStream std_stream(const Dense& weights, bool two_bit, uint32_t first_filter, uint32_t filters) {
  const KernelView view = kernel_view(weights, first_filter, filters);
  const uint32_t k = view.kernel;
  if (k > kMaxKernelWidth) throw std::runtime_error(kMsgUnsupportedKernelSize);
  if (kKernelsPerSlot[k] == 0) return {view, 0};
  const bool negatives = two_bit || k == 1;
  return {view, get_std_cnp_sram_size(k, 1, filters, negatives ? kWeights2Bit : kWeights1Bit)};
}

}  // namespace

size_t std_cnp_weight_words(const Dense& weights, bool two_bit, uint32_t first_filter, uint32_t filters) {
  const StdStream stream = std_stream(weights, two_bit, first_filter, filters);
  return size_t{stream.block_words} * stream.view.channels;
}

std::vector<uint32_t> format_std_cnp_weights(std::shared_ptr<const Dense> weights, bool two_bit, uint32_t first_filter,
                                             uint32_t filters) {
  std::vector<uint32_t> words(std_cnp_weight_words(*weights, two_bit, first_filter, filters), 0);
  pack_std_cnp_weights(*weights, two_bit, first_filter, filters, words);
  return words;
}

// Per channel block: per filter [k*k positive bits (+1 unused for k 3, 7)] [same, negative];
// groups fill 48 (k 1) or 50 bits of a slot.
void pack_std_cnp_weights(const Dense& weights, bool two_bit, uint32_t first_filter, uint32_t filters,
                          std::span<uint32_t> words) {
  const StdStream stream = std_stream(weights, two_bit, first_filter, filters);
  check_stream_words(words, size_t{stream.block_words} * stream.view.channels);
  if (stream.block_words == 0) return;
  const KernelView view = stream.view;
  const uint32_t k = view.kernel;
  const bool negatives = two_bit || k == 1;
  const uint32_t block_words = stream.block_words;
  const uint32_t group_bits = k * k + (k == 3 || k == 7 ? 1 : 0);
  const uint32_t limit = k == 1 ? kSlotPayloadBits48 : kWeightWordBits;
  // A filter's two groups fit one put when they cannot reach past the slot after this one.
  const bool both_groups_at_once = 2 * group_bits <= limit;

  KernelBits bits(k, filters, negatives);
  std::vector<uint64_t> positive(filters);
  std::vector<uint64_t> negative(negatives ? filters : 0);
  std::vector<uint8_t> codes(k == 1 ? filters : 0);
  for (uint32_t channel = 0; channel < view.channels; ++channel) {
    gather_kernel_bits(view, channel, first_filter, &bits);
    SlotWriter writer(words, static_cast<size_t>(channel) * block_words / kSlotWords);
    if (k == 1) {
      put_pairs(bits, &codes, &writer);
      writer.flush();
      continue;
    }
    gather_groups(bits, 0, &positive);
    if (negatives) gather_groups(bits, bits.bytes, &negative);
    if (!negatives) {
      writer.put_run(positive.data(), filters, group_bits, limit);
    } else if (both_groups_at_once) {
      // Split across two slots where the two groups one after the other would be.
      for (size_t j = 0; j < filters; ++j) positive[j] |= negative[j] << group_bits;
      writer.put_run(positive.data(), filters, 2 * group_bits, limit);
    } else {
      for (size_t j = 0; j < filters; ++j) {
        writer.put_wrapped(positive[j], group_bits, limit);
        writer.put_wrapped(negative[j], group_bits, limit);
      }
    }
    writer.flush();
  }
}

}  // namespace ornix::v1
