#include <bit>
#include <cstring>
#include <stdexcept>

#include "backend/v2/cnp_weight_format.h"  // the 4-bit packers
#include "backend/v2/cnp_weight_layout.h"
#include "backend/v2/cnp_weight_sizes.h"
#include "backend/v2/cnp_weight_stream.h"
#include "backend/v2/cnp_weight_tensor.h"
#include "backend/v2/weight_format_messages.h"
#include "program/register_field.h"

namespace ornix::v2 {

namespace {

uint32_t conv2d_half_bits(uint32_t kernel) {
  switch (kernel) {
    case 1:
    case 3:
      return kShortHalfBits;
    case 5:
    case 7:
      return kCnpHalfBits;
    default:
      throw std::runtime_error(kMsgConv2d4bitKernel);
  }
}

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

// The low nibbles of eight consecutive weights, the first in bits 0-3.
uint32_t eight_low_nibbles(const int8_t* weights) {
  static_assert(std::endian::native == std::endian::little, "weights are gathered as a little-endian word");
  uint64_t x;
  std::memcpy(&x, weights, sizeof(x));
  x &= 0x0F0F0F0F0F0F0F0Full;
  x = (x | x >> 4) & 0x00FF00FF00FF00FFull;
  x = (x | x >> 8) & 0x0000FFFF0000FFFFull;
  return static_cast<uint32_t>(x | x >> 16);
}

// One nibble per filter of a 1x1 kernel's channel, eight filters a word where they are contiguous.
void put_filter_nibbles(CnpWeightStream& stream, const CnpWeightsView& view, uint32_t channel, uint32_t count) {
  constexpr uint32_t kGathered = 8;
  uint32_t filter = 0;
  if (view.filters_contiguous()) {
    const int8_t* run = view.find(0, 0, channel, 0);
    for (; filter + kGathered <= count; filter += kGathered) {
      stream.put(eight_low_nibbles(run + filter), kGathered * kNibbleBits);
    }
  }
  for (; filter < count; ++filter) stream.put(low_nibble(view.at(0, 0, channel, filter)), kNibbleBits);
}

// Kernel 7 opens the next 100-bit word after filter slots 3, 6 and 8 of a row.
bool ends_hundred_bit_word(uint32_t kernel, uint32_t slot) {
  constexpr uint32_t kSplitKernel = 7;
  return kernel == kSplitKernel && ((slot + 1) % kConv7x7FiltersPerWord4bit == 0 || slot + 1 == kFilterBlock);
}

constexpr uint32_t kNibbleMask = 0xF;

// The low nibbles of `kernel` weights `stride` apart, the first in bits 0-3.
uint32_t row_low_nibbles(const int8_t* weights, size_t stride, uint32_t kernel) {
  uint32_t nibbles = 0;
  for (uint32_t column = 0; column < kernel; ++column) {
    nibbles |= (low_nibble(weights[column * stride]) & kNibbleMask) << (column * kNibbleBits);
  }
  return nibbles;
}

}  // namespace

size_t conv2d_4bit_weight_words(const Dense& weights, uint32_t first, uint32_t count) {
  const CnpWeightsView view(weights, first, count);
  conv2d_half_bits(view.kernel());
  return conv2d_cnp_formatted_4bit_weight_32b_size(view.kernel(), count, view.channels());
}

void pack_conv2d_4bit_weights(const Dense& weights, uint32_t first, uint32_t count, std::span<uint32_t> words) {
  // Per channel, nibbles in 48/50-bit halves: K 1 one per filter; else 8-slot blocks, row by row, K per slot.
  const CnpWeightsView view(weights, first, count);
  const uint32_t kernel = view.kernel();
  CnpWeightStream stream(words, conv2d_half_bits(kernel));
  const size_t channel_words = size_t{conv2d_4bit_ch_cont_100b_size(kernel, count)} * kFourWordForm;
  const size_t block_words = size_t{conv2d_4bit_ch_cont_100b_size(kernel, kFilterBlock)} * kFourWordForm;
  const size_t column_stride = view.stride(0);
  const uint32_t slot_bits = kernel * kNibbleBits;

  for (uint32_t channel = 0; channel < view.channels(); ++channel) {
    if (kernel == 1) {
      stream.seek(channel * channel_words);
      put_filter_nibbles(stream, view, channel, count);
      continue;
    }
    for (uint32_t start = 0, block = 0; start < count; start += kFilterBlock, ++block) {
      stream.seek(channel * channel_words + block * block_words);
      for (uint32_t row = 0; row < kernel; ++row) {
        for (uint32_t slot = 0; slot < kFilterBlock; ++slot) {
          const uint32_t filter = start + slot;
          stream.put(filter < count ? row_low_nibbles(view.find(0, row, channel, filter), column_stride, kernel) : 0,
                     slot_bits);
          if (ends_hundred_bit_word(kernel, slot)) stream.next_word();
        }
      }
    }
  }
  stream.finish();
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
  depthwise_channel_words(kernel);
  CnpWeightStream stream(words);
  const uint32_t row_bits = kernel * kNibbleBits;
  const size_t column_stride = view.stride(0);

  for (uint32_t index = 0; index < count; ++index) {
    for (uint32_t row = 0; row < kernel; ++row) {
      if (stream.bit() + row_bits > kCnpHalfBits) stream.next_half();
      const int8_t* weights_row = view.find(0, row, 0, index);
      uint32_t nibbles = 0;
      for (uint32_t column = 0; column < kernel; ++column) {
        nibbles |= int32_to_intN<kNibbleBits>(weights_row[column * column_stride]) << (column * kNibbleBits);
      }
      stream.put(nibbles, row_bits);
    }
    if (stream.bit() + kernel * row_bits > kCnpHalfBits) stream.next_half();
  }
  stream.finish();
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
