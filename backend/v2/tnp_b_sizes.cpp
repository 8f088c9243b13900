#include "backend/v2/tnp_b_sizes.h"

#include "backend/v2/cnp_weight_sizes.h"

namespace ornix::v2 {

namespace {

constexpr uint32_t kFiltersPerChunk = 24;  // a chunk: two 100-bit words of twelve filters each
constexpr uint32_t kWordsPerChunk = 2;
constexpr uint32_t kTransferWordsPerWord = 3;

}  // namespace

uint32_t buffer_temp_conv_ch_cont_100b_size(uint32_t filters) {
  const uint32_t chunks = filters / kFiltersPerChunk + (filters % kFiltersPerChunk != 0 ? 1 : 0);
  return kWordsPerChunk * chunks;
}

uint32_t buffer_temp_conv_tnp_formatted_weight_100b_size(uint32_t fifo_size, uint32_t filters,
                                                         uint32_t input_channels) {
  return (fifo_size + 1) * input_channels * buffer_temp_conv_ch_cont_100b_size(filters);
}

uint32_t tnp_b_buffer_temp_conv_formatted_weight_32b_size(uint32_t filters, uint32_t rows) {
  return xl_rounded_words(rows * buffer_temp_conv_ch_cont_100b_size(filters) * kTransferWordsPerWord);
}

uint32_t depthwise_buffer_temp_conv_tnp_formatted_weight_100b_size(uint32_t taps, uint32_t channels) {
  return (taps + 1) * channels;
}

uint32_t depthwise_buffer_temp_conv_formatted_weight_32b_size(uint32_t taps, uint32_t channels) {
  const uint32_t words = depthwise_buffer_temp_conv_tnp_formatted_weight_100b_size(taps, channels);
  return xl_rounded_words(kTransferWordsPerWord * words);
}

}  // namespace ornix::v2
