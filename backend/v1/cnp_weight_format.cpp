#include "backend/v1/cnp_weight_format.h"

#include <stdexcept>

#include "backend/v1/cnp_weight_sizes.h"
#include "backend/v1/cnp_weight_stream.h"
#include "backend/v1/cnp_weight_tensor.h"
#include "backend/v1/weight_format_limits.h"
#include "backend/v1/weight_format_messages.h"

namespace ornix::v1 {

namespace {

// Positive (value 1) and negative (value -1) bits of one filter's kernel of one channel, bit
// row x k + column.
struct KernelBits {
  uint64_t positive = 0;
  uint64_t negative = 0;
};

// The kernel bits of one filter of one channel, without a branch per weight (the values of a
// kernel follow no pattern a branch predictor could learn).
KernelBits kernel_bits(const KernelView& view, uint32_t filter, uint32_t channel) {
  KernelBits bits;
  for (uint32_t row = 0, bit = 0; row < view.kernel; ++row) {
    for (uint32_t column = 0; column < view.kernel; ++column, ++bit) {
      const int8_t value = view.at(filter, channel, row, column);
      bits.positive |= uint64_t{value == 1} << bit;
      bits.negative |= uint64_t{value == -1} << bit;
    }
  }
  return bits;
}

}  // namespace

// Per channel block: per filter [k*k positive bits (+1 unused for k 3, 7)] [same, negative];
// groups fill 48 (k 1) or 50 bits of a slot.
std::vector<uint32_t> format_std_cnp_weights(std::shared_ptr<const Dense> weights, bool two_bit, uint32_t first_filter,
                                             uint32_t filters) {
  const KernelView view = kernel_view(*weights, first_filter, filters);
  const uint32_t k = view.kernel;
  if (k > kMaxKernelWidth) throw std::runtime_error(kMsgUnsupportedKernelSize);
  if (kKernelsPerSlot[k] == 0) return {};
  const bool negatives = two_bit || k == 1;
  const uint32_t block_words = get_std_cnp_sram_size(k, 1, filters, negatives ? kWeights2Bit : kWeights1Bit);
  const uint32_t group_bits = k * k + (k == 3 || k == 7 ? 1 : 0);
  const uint32_t limit = k == 1 ? kSlotPayloadBits48 : kWeightWordBits;

  std::vector<uint32_t> words(static_cast<size_t>(block_words) * view.channels, 0);
  for (uint32_t channel = 0; channel < view.channels; ++channel) {
    SlotWriter writer(&words, static_cast<size_t>(channel) * block_words / kSlotWords);
    for (uint32_t j = 0; j < filters; ++j) {
      const KernelBits filter = kernel_bits(view, first_filter + j, channel);
      writer.put_wrapped(filter.positive, group_bits, limit);
      if (negatives) writer.put_wrapped(filter.negative, group_bits, limit);
    }
    writer.flush();
  }
  return words;
}

}  // namespace ornix::v1
