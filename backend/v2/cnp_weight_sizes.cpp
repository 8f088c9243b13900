#include "backend/v2/cnp_weight_sizes.h"

#include <stdexcept>

#include "backend/v2/cnp_weight_layout.h"
#include "backend/v2/weight_format_messages.h"

namespace ornix::v2 {

namespace {

constexpr uint32_t kEightBits = 8;
constexpr uint32_t kFourBits = 4;

constexpr uint32_t ceil_div(uint32_t n, uint32_t d) { return (n + d - 1) / d; }
constexpr uint32_t round_up(uint32_t n, uint32_t d) { return ceil_div(n, d) * d; }

}  // namespace

uint32_t xl_rounded_words(uint32_t words) {
  return dma::config_block_size_needs_xl(words) ? round_up(words, dma::kXlUnitWords) : words;
}

uint32_t conv2d_4bit_ch_cont_100b_size(uint32_t kernel, uint32_t filters) {
  switch (kernel) {
    case 1:
      return ceil_div(filters, kFilterBlock1x1);
    case 3:
      return 3 * ceil_div(filters, kFilterBlock);
    case 5:
      return 8 * ceil_div(filters, kFilterBlock);
    case 7:
      return 21 * ceil_div(filters, kFilterBlock);
    default:
      throw std::runtime_error(kMsgConv2d4bitKernel);
  }
}

uint32_t ch_cont_size(uint32_t kernel, uint32_t filters) {
  const uint32_t m = round_up(filters, kFilterBlock);
  switch (kernel) {
    case 1:
      return round_up(m, kFilterBlock1x1) / 12;
    case 3:
      return 6 * m / 8;
    case 4:
      return 12 * m / 8;
    case 5:
      return 20 * m / 8;
    case 7:
      return 56 * m / 8;
    default:
      throw std::runtime_error(kMsgChContKernel);
  }
}

uint32_t conv2d_ch_cont_100b_size(uint32_t kernel, uint32_t filters, uint8_t bits) {
  return bits == kEightBits ? ch_cont_size(kernel, filters) : conv2d_4bit_ch_cont_100b_size(kernel, filters);
}

uint32_t conv2d_cnp_formatted_4bit_weight_100b_size(uint32_t kernel, uint32_t filters, uint32_t channels) {
  return conv2d_4bit_ch_cont_100b_size(kernel, filters) * channels;
}

uint32_t conv2d_cnp_formatted_weight_100b_size(uint32_t kernel, uint32_t filters, uint32_t channels, uint8_t bits) {
  return conv2d_ch_cont_100b_size(kernel, filters, bits) * channels;
}

uint32_t conv2d_cnp_formatted_4bit_weight_32b_size(uint32_t kernel, uint32_t filters, uint32_t channels) {
  return kFourWordForm * conv2d_cnp_formatted_4bit_weight_100b_size(kernel, filters, channels);
}

uint32_t conv2d_cnp_formatted_weight_32b_size(uint32_t kernel, uint32_t filters, uint32_t channels, uint8_t bits) {
  if (bits != kEightBits) return conv2d_cnp_formatted_4bit_weight_32b_size(kernel, filters, channels);
  const uint32_t hundred_bit_words = ch_cont_size(kernel, filters) * channels;
  return xl_rounded_words(hundred_bit_words * cnp_weight_format::conv2d(kernel).words_per_cnp_word);
}

uint32_t dwc_4bit_ch_cont_100b_size(uint32_t kernel, uint32_t channels) {
  switch (kernel) {
    case 3:
      return ceil_div(channels, 2);
    case 5:
      return ceil_div(3 * channels, 2);
    case 7:
      return ceil_div(7 * channels, 2);
    default:
      throw std::runtime_error(kMsgDepthwise4bitKernel);
  }
}

uint32_t dwc_ch_cont_100b_size(uint32_t kernel, uint32_t channels, uint8_t bits) {
  if (bits != kEightBits) return dwc_4bit_ch_cont_100b_size(kernel, channels);
  switch (kernel) {
    case 3:
      return channels;
    case 4:
      return 2 * channels;
    case 5:
      return 3 * channels;
    case 7:
      return 7 * channels;
    default:
      throw std::runtime_error(kMsgChContKernel);
  }
}

uint32_t dwc_cnp_formatted_4bit_weight_32b_size(uint32_t kernel, uint32_t channels) {
  switch (kernel) {
    case 3:
      return round_up(2 * channels, dma::kXlUnitWords);
    case 5:
      return round_up(6 * channels, dma::kXlUnitWords);
    case 7:
      return round_up(14 * channels, dma::kXlUnitWords);
    default:
      throw std::runtime_error(kMsgDepthwise4bitKernel);
  }
}

uint32_t dwc_cnp_formatted_weight_32b_size(uint32_t kernel, uint32_t channels, uint8_t bits) {
  if (bits != kEightBits) return dwc_cnp_formatted_4bit_weight_32b_size(kernel, channels);
  return xl_rounded_words(kThreeWordForm * dwc_ch_cont_100b_size(kernel, channels, kEightBits));
}

dma::Target conv2d_dma_target(uint32_t kernel, uint8_t bits) {
  if (bits == kFourBits) return dma::Target::CnpWeights;
  return static_cast<dma::Target>(cnp_weight_format::conv2d(kernel).dma_target);
}

dma::Target dwc_dma_target(uint32_t kernel, uint8_t bits) {
  if (bits == kFourBits) return dma::Target::CnpWeights;
  return static_cast<dma::Target>(cnp_weight_format::depthwise(kernel).dma_target);
}

}  // namespace ornix::v2
