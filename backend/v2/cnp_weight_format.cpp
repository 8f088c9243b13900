#include "backend/v2/cnp_weight_format.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "backend/v2/cnp_weight_layout.h"
#include "backend/v2/cnp_weight_sizes.h"
#include "backend/v2/cnp_weight_stream.h"
#include "backend/v2/cnp_weight_tensor.h"

namespace ornix::v2 {

namespace {

constexpr uint8_t kEightBits = 8;

// Bytes of the block image of a Conv2D layout: the three-word form's bytes themselves; in the
// four-word form 16 bytes per 100-bit word, byte o of a word being its bits 8o .. 8o + 7.
size_t block_image_bytes(const Conv2dWeightLayout& layout) {
  return size_t{layout.words_per_block} / layout.words_per_cnp_word *
         (layout.words_per_cnp_word == kThreeWordForm ? kThreeWordForm * sizeof(uint32_t) : kBytesPerFourWordGroup);
}

// Filters start .. start + n - 1 of a gathered channel into the block image: kernel row y from
// byte y * row_stride, K bytes a filter, `skip` bytes left empty after every `group` bytes.
// Each run of bytes is checked against the image once.
void put_block(const ChannelWeights& codes, uint32_t start, uint32_t n, const Conv2dWeightLayout& layout,
               uint32_t kernel, uint8_t* image, size_t image_bytes) {
  for (uint32_t row = 0; row < kernel; ++row) {
    const int8_t* row_codes = codes.at(row, start);
    size_t offset = size_t{row} * layout.row_stride;
    if (layout.group == 0) {
      if (offset + size_t{n} * kernel > image_bytes) throw std::out_of_range(kMsgWeightStreamEnd);
      std::memcpy(image + offset, row_codes, size_t{n} * kernel);
      continue;
    }
    uint32_t since_gap = 0;
    for (uint32_t slot = 0; slot < n; ++slot) {
      if (offset + kernel > image_bytes) throw std::out_of_range(kMsgWeightStreamEnd);
      for (uint32_t column = 0; column < kernel; ++column) {
        image[offset + column] = static_cast<uint8_t>(row_codes[size_t{slot} * kernel + column]);
      }
      offset += kernel;
      since_gap += kernel;
      if (since_gap >= layout.group) {
        offset += layout.skip;
        since_gap = 0;
      }
    }
  }
}

// A block image of 100-bit words (16 bytes each) as four transfer words per word: half A (bits
// 0-49) in words 0 and 1, half B (bits 50-99) in words 2 and 3.
void put_four_word_form(const uint8_t* image, size_t cnp_words, uint32_t* words) {
  for (size_t i = 0; i < cnp_words; ++i, image += kBytesPerFourWordGroup, words += kFourWordForm) {
    uint64_t low;
    uint64_t high;
    std::memcpy(&low, image, sizeof(low));
    std::memcpy(&high, image + sizeof(low), sizeof(high));
    put_hundred_bit_word(low, high, words);
  }
}

}  // namespace

size_t conv2d_cnp_weight_words(const Dense& weights, uint32_t first, uint32_t count, uint8_t bits) {
  if (bits != kEightBits) return conv2d_4bit_weight_words(weights, first, count);
  const CnpWeightsView view(weights, first, count);
  cnp_weight_format::conv2d(view.kernel());
  return conv2d_cnp_formatted_weight_32b_size(view.kernel(), count, view.channels(), kEightBits);
}

void pack_conv2d_cnp_weights(const Dense& weights, uint32_t first, uint32_t count, uint8_t bits,
                             std::span<uint32_t> words) {
  // Per channel, filter blocks: row y at byte y * row_stride | K bytes per filter | skip bytes per group.
  if (bits != kEightBits) return pack_conv2d_4bit_weights(weights, first, count, words);
  const CnpWeightsView view(weights, first, count);
  const uint32_t kernel = view.kernel();
  const Conv2dWeightLayout& layout = cnp_weight_format::conv2d(kernel);
  const size_t channel_words = size_t{ch_cont_size(kernel, count)} * layout.words_per_cnp_word;
  const size_t image_bytes = block_image_bytes(layout);
  const bool four_words = layout.words_per_cnp_word == kFourWordForm;
  std::vector<uint8_t> image(four_words ? image_bytes : 0);
  ChannelWeights codes(view, count, count);
  CnpWeightStream stream(words);

  for (uint32_t channel = 0; channel < view.channels(); ++channel) {
    codes.load(channel);
    size_t block_word = channel * channel_words;
    for (uint32_t start = 0; start < count; start += layout.filters_per_block) {
      const uint32_t end = std::min(count, start + layout.filters_per_block);
      uint8_t* block = stream.bytes(block_word * sizeof(uint32_t), size_t{layout.words_per_block} * sizeof(uint32_t));
      if (four_words) {
        std::fill(image.begin(), image.end(), 0);
        put_block(codes, start, end - start, layout, kernel, image.data(), image_bytes);
        put_four_word_form(image.data(), layout.words_per_block / kFourWordForm, reinterpret_cast<uint32_t*>(block));
      } else {
        put_block(codes, start, end - start, layout, kernel, block, image_bytes);
      }
      block_word += layout.words_per_block;
    }
  }
}

size_t depthwise_conv_cnp_weight_words(const Dense& weights, uint32_t first, uint32_t count, uint8_t bits) {
  if (bits != kEightBits) return depthwise_conv_cnp_4bit_weight_words(weights, first, count);
  const CnpWeightsView view(weights, first, count);
  return dwc_cnp_formatted_weight_32b_size(view.kernel(), count, kEightBits);
}

void pack_depthwise_conv_cnp_weights(const Dense& weights, uint32_t first, uint32_t count, uint8_t bits,
                                     std::span<uint32_t> words) {
  // Channel i at byte i * channel_stride; per row: run bytes | skip gap | rest of row | row_padding gap.
  if (bits != kEightBits) return pack_depthwise_conv_cnp_4bit_weights(weights, first, count, words);
  const CnpWeightsView view(weights, first, count);
  const uint32_t kernel = view.kernel();
  const DepthwiseWeightLayout& layout = cnp_weight_format::depthwise(kernel);
  // Bytes from a channel's first weight to just past its last.
  const size_t row_span = size_t{kernel} + layout.skip + layout.row_padding;
  const size_t channel_bytes = (kernel - 1) * row_span + kernel + (layout.run < kernel ? layout.skip : 0);
  CnpWeightStream stream(words);

  // A tile of channels at a time, each kernel position to all of them, read along the channels.
  for (uint32_t tile = 0; tile < count; tile += kChannelTile) {
    const uint32_t n = std::min(kChannelTile, count - tile);
    uint8_t* out = stream.bytes(size_t{tile} * layout.channel_stride, (n - 1) * layout.channel_stride + channel_bytes);
    for (uint32_t row = 0; row < kernel; ++row) {
      for (uint32_t column = 0; column < kernel; ++column) {
        uint8_t* position = out + row * row_span + column + (column < layout.run ? 0 : layout.skip);
        view.for_each_filter(column, row, 0, tile, n, [&](size_t t, int8_t weight) {
          position[t * layout.channel_stride] = static_cast<uint8_t>(weight);
        });
      }
    }
  }
}

std::vector<uint32_t> format_conv2d_cnp_weights(const Dense& weights, uint32_t first, uint32_t count, uint8_t bits) {
  std::vector<uint32_t> words(conv2d_cnp_weight_words(weights, first, count, bits));
  pack_conv2d_cnp_weights(weights, first, count, bits, words);
  return words;
}

std::vector<uint32_t> format_depthwise_conv_cnp_weights(const Dense& weights, uint32_t first, uint32_t count,
                                                        uint8_t bits) {
  std::vector<uint32_t> words(depthwise_conv_cnp_weight_words(weights, first, count, bits));
  pack_depthwise_conv_cnp_weights(weights, first, count, bits, words);
  return words;
}

}  // namespace ornix::v2
