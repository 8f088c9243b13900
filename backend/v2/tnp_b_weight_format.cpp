#include "backend/v2/tnp_b_weight_format.h"

#include <stdexcept>

#include "backend/v2/cnp_weight_stream.h"
#include "backend/v2/cnp_weight_tensor.h"
#include "backend/v2/tnp_b_recording_messages.h"
#include "backend/v2/tnp_b_sizes.h"

namespace ornix::v2 {

namespace {

constexpr size_t kTransferWordsPerWord = 3;
constexpr size_t kBytesPerTransferWord = 4;

// The taps of a depthwise tensor's channels, refused beyond what a weight word holds.
uint32_t depthwise_taps(const CnpWeightsView& view) {
  const uint32_t taps = view.channels();
  if (taps > kTnpBWordBytes) throw std::invalid_argument(too_many_depthwise_taps_message(taps, kTnpBWordBytes));
  return taps;
}

}  // namespace

size_t tnp_b_buffer_temp_conv_weight_words(const Dense& weights, uint32_t first, uint32_t count) {
  const CnpWeightsView view(weights, first, count);
  return tnp_b_buffer_temp_conv_formatted_weight_32b_size(count, view.channels());
}

void pack_tnp_b_buffer_temp_conv_weights(const Dense& weights, uint32_t fifo_size, uint32_t first, uint32_t count,
                                         std::span<uint32_t> words) {
  // Container (t, c) at byte 12 cc (t + c fifo_size): filter r at its byte r, chunks of 24 in two words of twelve.
  const CnpWeightsView view(weights, first, count);
  if (fifo_size == 0) return;
  const uint32_t rows = view.channels();
  CnpWeightStream stream(words);
  const uint32_t input_channels = rows / fifo_size;
  const size_t container_bytes =
      size_t{buffer_temp_conv_ch_cont_100b_size(count)} * kTransferWordsPerWord * kBytesPerTransferWord;

  for (uint32_t channel = 0; channel < input_channels; ++channel) {
    for (uint32_t tap = 0; tap < fifo_size; ++tap) {
      const size_t container = (size_t{tap} + size_t{channel} * fifo_size) * container_bytes;
      const uint32_t row = tap * input_channels + channel;
      uint8_t* out = stream.bytes(container, count);
      for (uint32_t filter = 0; filter < count; ++filter) out[filter] = static_cast<uint8_t>(view.at(0, 0, row, filter));
    }
  }
}

std::vector<uint32_t> format_tnp_b_buffer_temp_conv_weights(const Dense& weights, uint32_t fifo_size, uint32_t first,
                                                            uint32_t count) {
  std::vector<uint32_t> words(tnp_b_buffer_temp_conv_weight_words(weights, first, count));
  pack_tnp_b_buffer_temp_conv_weights(weights, fifo_size, first, count, words);
  return words;
}

size_t tnp_b_depthwise_buffer_temp_conv_weight_words(const Dense& weights, uint32_t first, uint32_t count) {
  const CnpWeightsView view(weights, first, count);
  return depthwise_buffer_temp_conv_formatted_weight_32b_size(depthwise_taps(view), count);
}

void pack_tnp_b_depthwise_buffer_temp_conv_weights(const Dense& weights, uint32_t first, uint32_t count,
                                                   std::span<uint32_t> words) {
  // Channel i: tap t at byte 12 i + t, one weight word per channel | the rest of the block 0.
  const CnpWeightsView view(weights, first, count);
  const uint32_t taps = depthwise_taps(view);
  CnpWeightStream stream(words);

  for (uint32_t channel = 0; channel < count; ++channel) {
    uint8_t* out = stream.bytes(size_t{channel} * kTnpBWordBytes, taps);
    for (uint32_t tap = 0; tap < taps; ++tap) out[tap] = static_cast<uint8_t>(view.at(0, 0, tap, channel));
  }
}

std::vector<uint32_t> format_tnp_b_depthwise_buffer_temp_conv_weights(const Dense& weights, uint32_t first,
                                                                      uint32_t count) {
  std::vector<uint32_t> words(tnp_b_depthwise_buffer_temp_conv_weight_words(weights, first, count));
  pack_tnp_b_depthwise_buffer_temp_conv_weights(weights, first, count, words);
  return words;
}

}  // namespace ornix::v2
