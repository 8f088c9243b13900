#include <algorithm>
#include <cstring>
#include <iterator>
#include <vector>
#include <stdexcept>

#include "backend/v2/cnp_weight_format.h"  // the 4-bit packers
#include "backend/v2/cnp_weight_layout.h"
#include "backend/v2/cnp_weight_sizes.h"
#include "backend/v2/cnp_weight_stream.h"
#include "backend/v2/cnp_weight_tensor.h"
#include "backend/v2/weight_format_messages.h"
#include "backend/v2/weight_nibbles.h"
#include "program/register_field.h"

namespace ornix::v2 {

namespace {

constexpr uint32_t kNibbleMask = 0xF;
constexpr int kNibbleBias = 8;  // -8 .. 7 + 8 = 0 .. 15

// Transfer words of one depthwise channel: one 50-bit half (two words) per row group.
uint32_t depthwise_channel_words(uint32_t kernel) {
  switch (kernel) {
    case 3:
      return 2;
    case 5:
      return 6;
    case 7:
      return 14;
    default:
      throw std::runtime_error(kMsgDepthwise4bitKernel);
  }
}

// The nibble a Conv2D weight is stored as: its low four bits.
uint32_t low_nibble(int8_t value) { return static_cast<uint8_t>(value); }

// The low nibbles of four consecutive weights, the first in bits 0-3.
uint32_t four_low_nibbles(const int8_t* weights) {
  uint32_t x;
  std::memcpy(&x, weights, sizeof(x));
  x &= 0x0F0F0F0Fu;
  x = (x | x >> 4) & 0x00FF00FFu;
  return (x | x >> 8) & 0xFFFFu;
}

// One nibble per filter of a 1x1 kernel's channel, from transfer word `at` on: twelve filters a
// 48-bit half, whose two words are written whole where the filters lie side by side.
void put_filter_nibbles(std::span<uint32_t> words, size_t at, const CnpWeightsView& view, uint32_t channel,
                        uint32_t count) {
  constexpr uint32_t kPerHalf = kShortHalfBits / kNibbleBits;
  constexpr uint32_t kPerWord = kTransferWordBits / kNibbleBits;
  const size_t halves = (size_t{count} + kPerHalf - 1) / kPerHalf;
  if (at + halves * kWordsPerHalf > words.size()) throw std::out_of_range(kMsgWeightStreamEnd);
  uint32_t* out = words.data() + at;
  uint32_t filter = 0;
  if (view.filters_contiguous()) {
    const int8_t* run = view.find(0, 0, channel, 0);
    for (; filter + kPerHalf <= count; filter += kPerHalf) {
      out[filter / kPerHalf * kWordsPerHalf] = eight_low_nibbles(run + filter);
      out[filter / kPerHalf * kWordsPerHalf + 1] = four_low_nibbles(run + filter + kPerWord);
    }
    if (filter < count) {
      // The last, partial half from a copy padded with zeros (no weight past the filters is read).
      int8_t last[kPerHalf] = {};
      std::copy(run + filter, run + count, last);
      out[filter / kPerHalf * kWordsPerHalf] = eight_low_nibbles(last);
      out[filter / kPerHalf * kWordsPerHalf + 1] = four_low_nibbles(last + kPerWord);
      return;
    }
  }
  for (; filter < count; ++filter) {
    const uint32_t slot = filter % kPerHalf;
    out[filter / kPerHalf * kWordsPerHalf + slot / kPerWord] |= (low_nibble(view.at(0, 0, channel, filter)) & kNibbleMask)
                                                               << (slot % kPerWord * kNibbleBits);
  }
}

constexpr uint32_t kPerWord = kTransferWordBits / kNibbleBits;      // nibbles
constexpr uint32_t kPerHundredBits = 2 * kCnpHalfBits / kNibbleBits;  // 25 nibbles

// Kernel 3: each kernel row of a block is one 100-bit word, the 24 nibbles of its eight filter
// slots in two 48-bit halves, written as its four words.
constexpr uint32_t kShortHalfKernel = 3;

void put_short_half_rows(uint32_t* out, const ChannelWeights& codes, uint32_t start) {
  constexpr uint32_t kPerHalf = kShortHalfBits / kNibbleBits;
  for (uint32_t row = 0; row < kShortHalfKernel; ++row, out += kFourWordForm) {
    const int8_t* run = codes.at(row, start);
    out[0] = eight_low_nibbles(run);
    out[1] = four_low_nibbles(run + kPerWord);
    out[2] = eight_low_nibbles(run + kPerHalf);
    out[3] = four_low_nibbles(run + kPerHalf + kPerWord);
  }
}

// The low nibbles of `n` (at most 25) consecutive gathered weights as one 100-bit word, the
// first in its lowest bits, written as four transfer words: half A (bits 0-49) and half B (bits
// 50-99). Up to 32 bytes are read.
void put_hundred_bits(uint32_t* out, const int8_t* codes, uint32_t n) {
  const auto nibbles = [&](uint32_t from) -> uint64_t {
    const uint64_t bits = uint64_t{eight_low_nibbles(codes + from)} | uint64_t{eight_low_nibbles(codes + from + kPerWord)}
                                                                         << kTransferWordBits;
    const uint32_t keep = n > from ? n - from : 0;
    return keep >= 2 * kPerWord ? bits : bits & ((uint64_t{1} << (keep * kNibbleBits)) - 1);
  };
  put_hundred_bit_word(nibbles(0), nibbles(2 * kPerWord), out);
}

// Kernel 7: a kernel row of a block opens a new 100-bit word after filter slots 3 and 6, and the
// next row after slot 8: three words of 3, 3 and 2 filters.
constexpr uint32_t kSplitKernel = 7;

void put_split_rows(uint32_t* out, const ChannelWeights& codes, uint32_t start) {
  for (uint32_t row = 0; row < kSplitKernel; ++row) {
    for (uint32_t slot = 0; slot < kFilterBlock; slot += kConv7x7FiltersPerWord4bit, out += kFourWordForm) {
      const uint32_t slots = std::min(kConv7x7FiltersPerWord4bit, kFilterBlock - slot);
      put_hundred_bits(out, codes.at(row, start + slot), slots * kSplitKernel);
    }
  }
}

// Kernel 5: the rows of a block follow one another as one stream of nibbles, 25 to each of
// its 100-bit words.
void put_block_stream(uint32_t* out, const ChannelWeights& codes, uint32_t start, uint32_t kernel,
                      size_t hundred_bit_words) {
  // The block's nibbles in order, and the 32 bytes the last word may read past them.
  int8_t stream[kMaxBlockWeights + 4 * sizeof(uint64_t)] = {};
  const uint32_t row_nibbles = kFilterBlock * kernel;
  for (uint32_t row = 0; row < kernel; ++row) std::memcpy(stream + row * row_nibbles, codes.at(row, start), row_nibbles);
  for (size_t word = 0; word < hundred_bit_words; ++word, out += kFourWordForm) {
    put_hundred_bits(out, stream + word * kPerHundredBits, kPerHundredBits);
  }
}

// Where each kernel row of a 4-bit depthwise channel goes: its half within the channel and its
// first bit there. Every channel starts a half of its own, so all channels share the placement.
struct RowPlace {
  uint32_t half;
  uint32_t bit;
};

std::vector<RowPlace> depthwise_4bit_rows(uint32_t kernel) {
  const uint32_t row_bits = kernel * kNibbleBits;
  std::vector<RowPlace> rows;
  RowPlace at{0, 0};
  for (uint32_t row = 0; row < kernel; ++row, at.bit += row_bits) {
    if (at.bit + row_bits > kCnpHalfBits) at = {at.half + 1, 0};
    rows.push_back(at);
  }
  return rows;
}

// Depthwise channels index .. index + n - 1 hold a weight outside 4 signed bits: the first one,
// in channel, row, column order, panics as int32_to_intN does.
void refuse_4bit_range(const CnpWeightsView& view, uint32_t index, uint32_t n) {
  for (uint32_t t = 0; t < n; ++t) {
    for (uint32_t row = 0; row < view.kernel(); ++row) {
      for (uint32_t column = 0; column < view.kernel(); ++column) {
        int32_to_intN<kNibbleBits>(view.at(column, row, 0, index + t));
      }
    }
  }
}

}  // namespace

size_t conv2d_4bit_weight_words(const Dense& weights, uint32_t first, uint32_t count) {
  const CnpWeightsView view(weights, first, count);
  return conv2d_cnp_formatted_4bit_weight_32b_size(view.kernel(), count, view.channels());
}

void pack_conv2d_4bit_weights(const Dense& weights, uint32_t first, uint32_t count, std::span<uint32_t> words) {
  // Per channel, nibbles in 48/50-bit halves: K 1 one per filter; else 8-slot blocks, row by row, K per slot.
  const CnpWeightsView view(weights, first, count);
  const uint32_t kernel = view.kernel();
  const size_t channel_words = size_t{conv2d_4bit_ch_cont_100b_size(kernel, count)} * kFourWordForm;
  const size_t block_words = size_t{conv2d_4bit_ch_cont_100b_size(kernel, kFilterBlock)} * kFourWordForm;

  if (kernel == 1) {
    for (uint32_t channel = 0; channel < view.channels(); ++channel) {
      put_filter_nibbles(words, channel * channel_words, view, channel, count);
    }
    return;
  }
  // Whole blocks of slots: the filter slots past the last filter stay 0.
  ChannelWeights codes(view, count, (count + kFilterBlock - 1) / kFilterBlock * kFilterBlock);
  for (uint32_t channel = 0; channel < view.channels(); ++channel) {
    codes.load(channel);
    for (uint32_t start = 0, block = 0; start < count; start += kFilterBlock, ++block) {
      const size_t block_start = channel * channel_words + block * block_words;
      if (block_start + block_words > words.size()) throw std::out_of_range(kMsgWeightStreamEnd);
      uint32_t* out = words.data() + block_start;
      if (kernel == kShortHalfKernel) {
        put_short_half_rows(out, codes, start);
      } else if (kernel == kSplitKernel) {
        put_split_rows(out, codes, start);
      } else {
        put_block_stream(out, codes, start, kernel, block_words / kFourWordForm);
      }
    }
  }
}

size_t depthwise_conv_cnp_4bit_weight_words(const Dense& weights, uint32_t first, uint32_t count) {
  const CnpWeightsView view(weights, first, count);
  return size_t{depthwise_channel_words(view.kernel())} * count;
}

void pack_depthwise_conv_cnp_4bit_weights(const Dense& weights, uint32_t first, uint32_t count,
                                          std::span<uint32_t> words) {
  // Nibbles in 50-bit halves: each kernel row whole inside one half, each channel opening a new half.
  const CnpWeightsView view(weights, first, count);
  const uint32_t kernel = view.kernel();
  const size_t channel_words = depthwise_channel_words(kernel);
  if (channel_words * count > words.size()) throw std::out_of_range(kMsgWeightStreamEnd);
  const std::vector<RowPlace> rows = depthwise_4bit_rows(kernel);
  const size_t halves = channel_words / kWordsPerHalf;
  // Per half of the channel, the bits of a tile's channels, one word each: every kernel position
  // is added to all channels of the tile at once, read along the channels.
  uint64_t bits[kMaxCnpKernel][kChannelTile];

  for (uint32_t tile = 0; tile < count; tile += kChannelTile) {
    const uint32_t n = std::min(kChannelTile, count - tile);
    for (size_t half = 0; half < halves; ++half) std::fill(bits[half], bits[half] + n, 0);
    // Bits 4-7 of weight + 8 are set for a weight outside -8 .. 7.
    uint8_t outside = 0;
    for (uint32_t row = 0; row < kernel; ++row) {
      uint64_t* half_bits = bits[rows[row].half];
      for (uint32_t column = 0; column < kernel; ++column) {
        const uint32_t shift = rows[row].bit + column * kNibbleBits;
        view.for_each_filter(column, row, 0, tile, n, [&](size_t t, int8_t weight) {
          outside |= static_cast<uint8_t>(weight + kNibbleBias) & ~kNibbleMask;
          half_bits[t] |= uint64_t{static_cast<uint8_t>(weight) & kNibbleMask} << shift;
        });
      }
    }
    if (outside != 0) refuse_4bit_range(view, tile, n);
    uint32_t* out = words.data() + size_t{tile} * channel_words;
    for (size_t t = 0; t < n; ++t, out += channel_words) {
      for (size_t half = 0; half < halves; ++half) {
        out[half * kWordsPerHalf] = static_cast<uint32_t>(bits[half][t]);
        out[half * kWordsPerHalf + 1] = static_cast<uint32_t>(bits[half][t] >> kTransferWordBits);
      }
    }
  }
}

std::vector<uint32_t> format_conv2d_4bit_weights(const Dense& weights, uint32_t first, uint32_t count) {
  std::vector<uint32_t> words(conv2d_4bit_weight_words(weights, first, count));
  pack_conv2d_4bit_weights(weights, first, count, words);
  return words;
}

std::vector<uint32_t> format_depthwise_conv_cnp_4bit_weights(const Dense& weights, uint32_t first, uint32_t count) {
  std::vector<uint32_t> words(depthwise_conv_cnp_4bit_weight_words(weights, first, count));
  pack_depthwise_conv_cnp_4bit_weights(weights, first, count, words);
  return words;
}

}  // namespace ornix::v2
