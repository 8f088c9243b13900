#include "backend/v1/hrc_register_format.h"

#include <stdexcept>

#include "backend/v1/hrc_registers.h"
#include "backend/v1/recorder_messages.h"
#include "program/register_field.h"

namespace ornix::v1 {

namespace {

constexpr uint32_t bit(bool value) { return value ? 1 : 0; }
constexpr int32_t kNoPadding = 0;  // Padding::Valid
constexpr int32_t kMaxPool = 1;    // PoolType::Max
constexpr int32_t kRgbChannels = 3;

// Built record words of the padding amounts: top, bottom, left, right.
constexpr std::size_t kBuiltPadTop = 4;
constexpr std::size_t kBuiltPadBottom = 5;
constexpr std::size_t kBuiltPadLeft = 6;
constexpr std::size_t kBuiltPadRight = 7;

using Regs = std::vector<uint32_t>;

void put(Regs& regs, std::size_t word, const RegDetail& field, int32_t value) {
  set_field(&regs.at(word), field, static_cast<uint32_t>(value));
}

uint32_t kernel_code(int32_t kernel) {
  if (kernel == 5) return kHrcKernel5;
  if (kernel == 7) return kHrcKernel7;
  return 0;
}

}  // namespace

std::vector<uint32_t> format_hrc_regs(const LayerParams& params, const std::vector<uint32_t>& built) {
  Regs regs(kHrcConfigWords, 0);
  set_field(&regs[kHrcWordLayer], HRC0_SRAM_LOADING, 1);
  set_field(&regs[kHrcWordLayer], HRC0_NOT_RGB, bit(params.get("input_channels") != kRgbChannels));

  const bool valid = params.get("padding") == kNoPadding;
  const int32_t stride_x = params.get("stride_x");
  const int32_t stride_y = params.get("stride_y");
  set_field(&regs[kHrcWordLayer], HRC0_VALID, bit(valid));
  put(regs, kHrcWordStride, HRC1_STRIDE_Y, stride_y);
  put(regs, kHrcWordStride, HRC1_STRIDE_X, stride_x);

  const int32_t pool_width = params.get("pooling_width");
  const int32_t pool_height = params.get("pooling_height");
  const bool max_pool = params.get("pool_type") == kMaxPool;
  set_field(&regs[kHrcWordLayer], HRC0_MAX_POOL_Y2, bit(max_pool && pool_height == 2));
  set_field(&regs[kHrcWordLayer], HRC0_MAX_POOL_X2, bit(max_pool && pool_width == 2));
  set_field(&regs[kHrcWordLayer], HRC0_VALID_Y, bit(valid));
  set_field(&regs[kHrcWordLayer], HRC0_VALID_X, bit(valid));

  set_field(&regs[kHrcWordLayer], HRC0_KERNEL, kernel_code(params.get("kernel_height")));
  put(regs, kHrcWordFilters, HRC4_FILTERS_MINUS_1, params.get("filters") - 1);

  // Unsigned, so that a negative width is refused rather than halved to a valid code.
  set_field(&regs[kHrcWordLayer], HRC0_ACT_BITS, static_cast<uint32_t>(params.get("act_bits")) / 2);

  const int32_t padding_value = params.get("padding_value");
  put(regs, kHrcWordPaddingValue, HRC2_PADDING_VALUE_R, padding_value);
  put(regs, kHrcWordPaddingValue, HRC2_PADDING_VALUE_G, padding_value);
  put(regs, kHrcWordPaddingValue, HRC2_PADDING_VALUE_B, padding_value);

  set_field(&regs[kHrcWordPadding], HRC3_PAD_BOTTOM, built.at(kBuiltPadBottom));
  set_field(&regs[kHrcWordPadding], HRC3_PAD_TOP, built.at(kBuiltPadTop));
  set_field(&regs[kHrcWordPadding], HRC3_PAD_LEFT, built.at(kBuiltPadLeft));
  set_field(&regs[kHrcWordPadding], HRC3_PAD_RIGHT, built.at(kBuiltPadRight));
  return regs;
}

std::vector<uint32_t> format_hrc_threshold_steps(const Dense& threshold, const Dense& steps) {
  const int32_t* thresholds = threshold.data<int32_t>();
  const int32_t* step_values = steps.data<int32_t>();
  if (steps.size() < threshold.size()) throw std::invalid_argument(kMsgStepsPerThreshold);
  std::vector<uint32_t> table(threshold.size() * kHrcTableWordsPerFilter, 0);
  for (std::size_t n = 0; n < threshold.size(); ++n) {
    table[n * kHrcTableWordsPerFilter] = int32_to_intN<kHrcThresholdBits>(thresholds[n]);
    table[n * kHrcTableWordsPerFilter + 1] = static_cast<uint32_t>(step_values[n]);
  }
  return table;
}

}  // namespace ornix::v1
