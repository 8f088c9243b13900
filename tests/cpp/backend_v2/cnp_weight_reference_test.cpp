// The CNP weight packers gather bits into words; these tests compare them, over random tensors of
// every supported kernel size, bit width, layout and filter range, with plain packers that place
// one bit at a time.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "backend/v2/cnp_weight_format.h"
#include "backend/v2/cnp_weight_layout.h"
#include "backend/v2/cnp_weight_sizes.h"
#include "backend/v2/cnp_weight_tensor.h"

namespace ornix::v2 {
namespace {

using Words = std::vector<uint32_t>;

// Bit-at-a-time writer: `half_bits` bits used of each 50-bit half (transfer words 2h and 2h + 1).
class BitByBit {
 public:
  BitByBit(size_t words, uint32_t half_bits) : words_(words, 0), half_bits_(half_bits) {}

  void put_byte(size_t offset, uint8_t value) { words_.at(offset / 4) |= uint32_t{value} << (offset % 4 * 8); }
  void seek(size_t word, uint32_t bit = 0) {
    half_ = word / 2;
    bit_ = bit;
  }
  void put(uint32_t value, uint32_t width) {
    for (uint32_t i = 0; i < width; ++i) {
      words_.at(half_ * 2 + bit_ / 32) |= (value >> i & 1u) << (bit_ % 32);
      if (++bit_ == half_bits_) next_half();
    }
  }
  void next_half() {
    ++half_;
    bit_ = 0;
  }
  void next_word() {
    half_ = half_ / 2 * 2 + 2;
    bit_ = 0;
  }
  uint32_t bit() const { return bit_; }
  Words words() const { return words_; }

 private:
  Words words_;
  uint32_t half_bits_;
  size_t half_ = 0;
  uint32_t bit_ = 0;
};

Words conv2d_8bit(const Dense& weights, uint32_t first, uint32_t count) {
  const CnpWeightsView view(weights, first, count);
  const uint32_t k = view.kernel();
  const Conv2dWeightLayout& layout = cnp_weight_format::conv2d(k);
  BitByBit out(conv2d_cnp_formatted_weight_32b_size(k, count, view.channels(), 8), kCnpHalfBits);
  const size_t channel_words = size_t{ch_cont_size(k, count)} * layout.words_per_cnp_word;
  for (uint32_t c = 0; c < view.channels(); ++c) {
    size_t block = c * channel_words;
    for (uint32_t start = 0; start < count; start += layout.filters_per_block, block += layout.words_per_block) {
      uint32_t since_gap = 0;
      for (uint32_t row = 0; row < k; ++row) {
        uint32_t offset = row * layout.row_stride;
        for (uint32_t f = start; f < std::min(count, start + layout.filters_per_block); ++f) {
          for (uint32_t col = 0; col < k; ++col, ++offset) {
            const auto byte = static_cast<uint8_t>(view.at(col, row, c, f));
            if (layout.words_per_cnp_word == kThreeWordForm) {
              out.put_byte(block * 4 + offset, byte);
            } else {
              out.seek(block + offset / 16 * 4, offset % 16 * 8);
              out.put(byte, 8);
            }
          }
          since_gap += k;
          if (layout.group > 0 && since_gap >= layout.group) {
            offset += layout.skip;
            since_gap = 0;
          }
        }
      }
    }
  }
  return out.words();
}

Words conv2d_4bit(const Dense& weights, uint32_t first, uint32_t count) {
  const CnpWeightsView view(weights, first, count);
  const uint32_t k = view.kernel();
  BitByBit out(conv2d_cnp_formatted_4bit_weight_32b_size(k, count, view.channels()), k <= 3 ? 48 : 50);
  const size_t channel_words = size_t{conv2d_4bit_ch_cont_100b_size(k, count)} * 4;
  const size_t block_words = size_t{conv2d_4bit_ch_cont_100b_size(k, 8)} * 4;
  for (uint32_t c = 0; c < view.channels(); ++c) {
    for (uint32_t start = 0, block = 0; start < count; start += 8, ++block) {
      out.seek(c * channel_words + (k == 1 ? 0 : block * block_words));
      if (k == 1) {
        for (uint32_t f = 0; f < count; ++f) out.put(static_cast<uint8_t>(view.at(0, 0, c, f)), 4);
        break;
      }
      for (uint32_t row = 0; row < k; ++row) {
        for (uint32_t slot = 0; slot < 8; ++slot) {
          for (uint32_t col = 0; col < k; ++col) {
            out.put(start + slot < count ? static_cast<uint8_t>(view.at(col, row, c, start + slot)) : 0, 4);
          }
          if (k == 7 && ((slot + 1) % 3 == 0 || slot == 7)) out.next_word();
        }
      }
    }
  }
  return out.words();
}

Words depthwise_8bit(const Dense& weights, uint32_t first, uint32_t count) {
  const CnpWeightsView view(weights, first, count);
  const uint32_t k = view.kernel();
  const DepthwiseWeightLayout& layout = cnp_weight_format::depthwise(k);
  BitByBit out(dwc_cnp_formatted_weight_32b_size(k, count, 8), kCnpHalfBits);
  for (uint32_t i = 0; i < count; ++i) {
    size_t offset = size_t{i} * layout.channel_stride;
    for (uint32_t row = 0; row < k; ++row, offset += layout.row_padding) {
      for (uint32_t col = 0; col < k; ++col) {
        out.put_byte(offset++, static_cast<uint8_t>(view.at(col, row, 0, i)));
        if (col + 1 == layout.run) offset += layout.skip;
      }
    }
  }
  return out.words();
}

Words depthwise_4bit(const Dense& weights, uint32_t first, uint32_t count) {
  const CnpWeightsView view(weights, first, count);
  const uint32_t k = view.kernel();
  BitByBit out(size_t{k == 3 ? 2u : k == 5 ? 6u : 14u} * count, kCnpHalfBits);
  for (uint32_t i = 0; i < count; ++i) {
    for (uint32_t row = 0; row < k; ++row) {
      if (out.bit() + k * 4 > kCnpHalfBits) out.next_half();
      for (uint32_t col = 0; col < k; ++col) out.put(static_cast<uint8_t>(view.at(col, row, 0, i)) & 0xF, 4);
    }
    if (out.bit() + k * k * 4 > kCnpHalfBits) out.next_half();
  }
  return out.words();
}

std::shared_ptr<Dense> random_weights(std::mt19937& random, uint32_t k, uint32_t channels, uint32_t filters,
                                      int bits, Layout layout) {
  auto dense = Dense::create(TensorType::int8, Shape{k, k, channels, filters}, layout);
  std::uniform_int_distribution<int> value(-(1 << (bits - 1)), (1 << (bits - 1)) - 1);
  for (size_t i = 0; i < dense->size(); ++i) dense->data<int8_t>()[i] = static_cast<int8_t>(value(random));
  return dense;
}

struct Format {
  const char* name;
  std::vector<uint32_t> kernels;
  int bits;
  bool depthwise;
  Words (*reference)(const Dense&, uint32_t, uint32_t);
};

TEST(CnpWeightPackers, MatchBitByBitPackingOverRandomTensors) {
  const Format formats[] = {
      {"Conv2D 8-bit", {1, 3, 4, 5, 7}, 8, false, conv2d_8bit},
      {"Conv2D 4-bit", {1, 3, 5, 7}, 4, false, conv2d_4bit},
      {"DepthwiseConv2D 8-bit", {3, 4, 5, 7}, 8, true, depthwise_8bit},
      {"DepthwiseConv2D 4-bit", {3, 5, 7}, 4, true, depthwise_4bit},
  };
  std::mt19937 random(2024);
  for (const Format& format : formats) {
    for (const uint32_t k : format.kernels) {
      for (const Layout layout : {Layout::RowMajor, Layout::Reversed}) {
        for (int round = 0; round < 6; ++round) {
          const uint32_t channels = format.depthwise ? 1 : std::uniform_int_distribution<uint32_t>(1, 4)(random);
          const uint32_t filters = std::uniform_int_distribution<uint32_t>(1, 40)(random);
          const uint32_t first = std::uniform_int_distribution<uint32_t>(0, filters - 1)(random);
          const uint32_t count = std::uniform_int_distribution<uint32_t>(1, filters - first)(random);
          const auto weights = random_weights(random, k, channels, filters, format.bits, layout);
          const Words packed = format.depthwise ? format_depthwise_conv_cnp_weights(*weights, first, count, format.bits)
                                                : format_conv2d_cnp_weights(*weights, first, count, format.bits);
          EXPECT_EQ(packed, format.reference(*weights, first, count))
              << format.name << " kernel " << k << " layout " << static_cast<int>(layout) << " channels " << channels
              << " filters " << first << "+" << count;
        }
      }
    }
  }
}

}  // namespace
}  // namespace ornix::v2
