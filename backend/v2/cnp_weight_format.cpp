#include "backend/v2/cnp_weight_format.h"

#include <algorithm>

#include "backend/v2/cnp_weight_layout.h"
#include "backend/v2/cnp_weight_sizes.h"
#include "backend/v2/cnp_weight_stream.h"
#include "backend/v2/cnp_weight_tensor.h"

namespace ornix::v2 {

namespace {

constexpr uint8_t kEightBits = 8;

// Byte `offset` of the block that starts at transfer word `block_word`. In the four-word form
// each 16 bytes are one 100-bit word whose byte o is bits 8o .. 8o + 7, so a byte at o = 6 takes
// the last two bits of half A and the first six of half B.
void put_block_byte(CnpWeightStream& stream, const Conv2dWeightLayout& layout, size_t block_word, uint32_t offset,
                    int8_t value) {
  if (layout.words_per_cnp_word == kThreeWordForm) {
    stream.put_byte(block_word * sizeof(uint32_t) + offset, static_cast<uint8_t>(value));
    return;
  }
  stream.seek(block_word + offset / kBytesPerFourWordGroup * kFourWordForm,
              offset % kBytesPerFourWordGroup * kByteBits);
  stream.put(static_cast<uint8_t>(value), kByteBits);
}

}  // namespace

std::vector<uint32_t> format_conv2d_cnp_weights(const Dense& weights, uint32_t first, uint32_t count, uint8_t bits) {
  // Per channel, filter blocks: row y at byte y * row_stride | K bytes per filter | skip bytes per group.
  if (bits != kEightBits) return format_conv2d_4bit_weights(weights, first, count);
  const CnpWeightsView view(weights, first, count);
  const uint32_t kernel = view.kernel();
  const Conv2dWeightLayout& layout = cnp_weight_format::conv2d(kernel);
  const size_t channel_words = size_t{ch_cont_size(kernel, count)} * layout.words_per_cnp_word;
  CnpWeightStream stream(conv2d_cnp_formatted_weight_32b_size(kernel, count, view.channels(), kEightBits));

  for (uint32_t channel = 0; channel < view.channels(); ++channel) {
    size_t block_word = channel * channel_words;
    for (uint32_t start = 0; start < count; start += layout.filters_per_block) {
      const uint32_t end = std::min(count, start + layout.filters_per_block);
      uint32_t since_gap = 0;
      for (uint32_t row = 0; row < kernel; ++row) {
        uint32_t offset = row * layout.row_stride;
        for (uint32_t filter = start; filter < end; ++filter) {
          for (uint32_t column = 0; column < kernel; ++column) {
            put_block_byte(stream, layout, block_word, offset++, view.at(column, row, channel, filter));
          }
          since_gap += kernel;
          if (layout.group > 0 && since_gap >= layout.group) {
            offset += layout.skip;
            since_gap = 0;
          }
        }
      }
      block_word += layout.words_per_block;
    }
  }
  return std::move(stream).take();
}

std::vector<uint32_t> format_depthwise_conv_cnp_weights(const Dense& weights, uint32_t first, uint32_t count,
                                                        uint8_t bits) {
  // Channel i at byte i * channel_stride; per row: run bytes | skip gap | rest of row | row_padding gap.
  if (bits != kEightBits) return format_depthwise_conv_cnp_4bit_weights(weights, first, count);
  const CnpWeightsView view(weights, first, count);
  const uint32_t kernel = view.kernel();
  CnpWeightStream stream(dwc_cnp_formatted_weight_32b_size(kernel, count, kEightBits));
  const DepthwiseWeightLayout& layout = cnp_weight_format::depthwise(kernel);

  for (uint32_t index = 0; index < count; ++index) {
    size_t offset = size_t{index} * layout.channel_stride;
    for (uint32_t row = 0; row < kernel; ++row) {
      for (uint32_t column = 0; column < kernel; ++column) {
        stream.put_byte(offset++, static_cast<uint8_t>(view.at(column, row, 0, index)));
        if (column + 1 == layout.run) offset += layout.skip;
      }
      offset += layout.row_padding;
    }
  }
  return std::move(stream).take();
}

}  // namespace ornix::v2
