#include "backend/v1/cnp_weight_sizes.h"

#include <stdexcept>

#include "backend/v1/weight_format_limits.h"
#include "backend/v1/weight_format_messages.h"
#include "ornix/dma/config_header.h"

namespace ornix::v1 {

namespace {

constexpr uint32_t ceil_div(uint32_t n, uint32_t d) { return (n + d - 1) / d; }
constexpr uint32_t round_up(uint32_t n, uint32_t d) { return ceil_div(n, d) * d; }
constexpr uint32_t round16(uint32_t n) { return round_up(n, kBlockRoundWords); }
constexpr uint32_t ceil8(uint32_t n) { return round_up(n, kFilterGroup); }

// Slots per channel of 4-bit standard weights.
uint32_t std_4bit_channel_slots(uint32_t kernel, uint32_t filters) {
  switch (kernel) {
    case 1:
      return ceil_div(kCode4Bits * filters, kSlotPayloadBits48);
    case 3:
      return kGroupSlots4bitK3 * ceil8(filters) / kFilterGroup;
    case 5:
      return kGroupSlots4bitK5 * ceil8(filters) / kFilterGroup;
    case 7:
      return kGroupSlots4bitK7 * ceil8(filters) / kFilterGroup;
    default:
      throw std::runtime_error(kMsgUnsupportedKernelSize);
  }
}

// The size of an unsupported weight width stays as it is: rounding would wrap it to 0.
uint32_t xl_rounded(uint32_t words) {
  if (words == kUnsupportedSize || !dma::config_block_size_needs_xl(words)) return words;
  return round16(words);
}

}  // namespace

uint64_t get_cnp_channel_container_size(uint64_t width, uint8_t bits) { return (bits * width + 7) / 8; }

uint64_t get_cnp_input_sram_size(uint64_t container, uint64_t channels, uint64_t rows) {
  return ((channels * container * 8 + 31) / 32) * rows;
}

uint32_t get_std_cnp_sram_size(uint32_t kernel, uint32_t channels, uint32_t filters, int weights_bits) {
  if (weights_bits == kWeights4Bit) return channels * round16(std_4bit_channel_slots(kernel, filters)) * kSlotWords;
  if (weights_bits != kWeights1Bit && weights_bits != kWeights2Bit) return kUnsupportedSize;
  if (kernel < 1 || kernel > kMaxKernelWidth) throw std::runtime_error(kMsgUnsupportedKernelSize);
  const uint32_t per_slot = kKernelsPerSlot[kernel];
  if (per_slot == 0) return 0;
  // A 1x1 kernel always takes the 2-bit layout.
  const uint32_t planes = (weights_bits == kWeights2Bit || kernel == 1) ? 2 : 1;
  const uint32_t slots = ceil_div(planes * ceil8(filters), per_slot);
  return round16(kSlotWords * slots) * channels;
}

uint32_t get_dw_weights_sram_size(int kernel, uint32_t channels, int weights_bits) {
  return round16(dw_weights_stream_words(kernel, channels, weights_bits));
}

uint32_t dw_weights_stream_words(int kernel, uint32_t channels, int weights_bits) {
  const int64_t row_bits = int64_t{weights_bits} * kernel;
  if (kernel <= 0 || weights_bits <= 0 || row_bits > kWeightWordBits) {
    throw std::invalid_argument(depthwise_row_too_wide_message(kernel, weights_bits));
  }
  const auto k = static_cast<uint32_t>(kernel);
  const uint32_t rows_per_slot = kWeightWordBits / static_cast<uint32_t>(row_bits);
  if (rows_per_slot < 2 * k) return ceil_div(k, rows_per_slot) * channels * kSlotWords;
  const uint32_t kernels_per_slot = rows_per_slot / k;
  return ceil_div(channels, kernels_per_slot) * kSlotWords;
}

uint32_t get_nb_words_per_pw_channel(uint32_t filters, int weights_bits) {
  const auto wb = static_cast<uint32_t>(weights_bits);
  const uint32_t slots = ceil_div(filters * wb, kSlotPayloadBits48);
  if (filters % kFilterGroup == 0) return slots;
  const uint32_t pad = (kSlotPayloadBits48 - (filters * wb) % kSlotPayloadBits48) % kSlotPayloadBits48;
  return pad < kSlotPayloadBits48 - wb * (filters % kFilterGroup) ? slots + 1 : slots;
}

uint32_t get_sep_cnp_sram_size(uint32_t kernel, uint32_t channels, uint32_t filters, int weights_bits) {
  return get_dw_weights_sram_size(static_cast<int>(kernel), channels, weights_bits) +
         channels * get_nb_words_per_pw_channel(filters, weights_bits) * kSlotWords;
}

uint32_t get_weights_size(const Layer& layer, uint32_t filters) {
  const LayerType type = layer.params()->layer_type();
  if (type != LayerType::Convolutional && type != LayerType::SeparableConvolutional) {
    throw std::invalid_argument(kMsgUnexpectedCnpLayerType);
  }
  const uint32_t channels = layer.input_dimensions().at(0)[2];
  const auto kernel = static_cast<uint32_t>(param_of(layer, "kernel_width"));
  const int weights_bits = param_of(layer, "weights_bits");
  const uint32_t size = type == LayerType::Convolutional
                            ? get_std_cnp_sram_size(kernel, channels, filters, weights_bits)
                            : get_sep_cnp_sram_size(kernel, channels, filters, weights_bits);
  return xl_rounded(size);
}

bool check_weights_size_fit_cnp(const HardwareConstraints& constraints, const Layer& layer, uint32_t filters) {
  const uint32_t size = get_weights_size(layer, filters);
  if (layer.params()->layer_type() == LayerType::Convolutional) {
    const uint32_t channels = layer.input_dimensions().at(0)[2];
    if ((size / channels) / kStdWordsPerChannelDivisor >= kStdWordsPerChannelLimit) return false;
  }
  return size / kSlotWords <= constraints.cnp_weight_memory_size;
}

}  // namespace ornix::v1
