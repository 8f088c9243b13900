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

// Positive (value 1) and negative (value -1) bits of each filter's kernel of one channel, bit
// row x k + column, one word per filter.
struct KernelBits {
  std::vector<uint64_t> positive;
  std::vector<uint64_t> negative;
};

// Adds the weights of one kernel position of filters first .. first + count - 1 as `bit`. No
// branch per weight (the values follow no pattern a branch predictor could learn), and for
// filters side by side (the reversed layout) a loop the compiler vectorizes.
void add_position(const int8_t* values, size_t step, size_t count, uint32_t bit, KernelBits* bits) {
  uint64_t* positive = bits->positive.data();
  uint64_t* negative = bits->negative.data();
  if (step == 1) {
    for (size_t j = 0; j < count; ++j) {
      positive[j] |= uint64_t{values[j] == 1} << bit;
      negative[j] |= uint64_t{values[j] == -1} << bit;
    }
    return;
  }
  for (size_t j = 0; j < count; ++j) {
    positive[j] |= uint64_t{values[j * step] == 1} << bit;
    negative[j] |= uint64_t{values[j * step] == -1} << bit;
  }
}

// The kernel bits of every filter of the range for one channel; filters innermost.
void gather_kernel_bits(const KernelView& view, uint32_t channel, uint32_t first_filter, KernelBits* bits) {
  std::fill(bits->positive.begin(), bits->positive.end(), 0);
  std::fill(bits->negative.begin(), bits->negative.end(), 0);
  for (uint32_t row = 0, bit = 0; row < view.kernel; ++row) {
    for (uint32_t column = 0; column < view.kernel; ++column, ++bit) {
      add_position(&view.at(first_filter, channel, row, column), view.filter_stride, bits->positive.size(), bit, bits);
    }
  }
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
  // A filter's two groups fit one put when they cannot reach past the slot after this one.
  const bool both_groups_at_once = 2 * group_bits <= limit;

  std::vector<uint32_t> words(static_cast<size_t>(block_words) * view.channels, 0);
  KernelBits bits{std::vector<uint64_t>(filters), std::vector<uint64_t>(filters)};
  for (uint32_t channel = 0; channel < view.channels; ++channel) {
    gather_kernel_bits(view, channel, first_filter, &bits);
    SlotWriter writer(&words, static_cast<size_t>(channel) * block_words / kSlotWords);
    for (uint32_t j = 0; j < filters; ++j) {
      if (!negatives) {
        writer.put_wrapped(bits.positive[j], group_bits, limit);
      } else if (both_groups_at_once) {
        // Split across two slots where the two groups one after the other would be.
        writer.put_wrapped(bits.positive[j] | bits.negative[j] << group_bits, 2 * group_bits, limit);
      } else {
        writer.put_wrapped(bits.positive[j], group_bits, limit);
        writer.put_wrapped(bits.negative[j], group_bits, limit);
      }
    }
    writer.flush();
  }
  return words;
}

}  // namespace ornix::v1
