#include <gtest/gtest.h>

#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "backend/v2/cnp_weight_format.h"
#include "backend/v2/cnp_weight_sizes.h"
#include "program/thrown.h"

namespace ornix::v2 {
namespace {

using program::thrown;
using Words = std::vector<uint32_t>;

// Weights `values` from column `column` on, in kernel row `row` of (channel, filter).
struct Row {
  uint32_t channel;
  uint32_t filter;
  uint32_t row;
  std::vector<int> values;
  uint32_t column = 0;
};

// A (k, k, channels, filters) int8 tensor with dimension 0 contiguous (strides 1, k, k², k²·channels),
// so reads must go through the strides; unlisted weights are 0.
std::shared_ptr<Dense> weights(uint32_t k, uint32_t channels, uint32_t filters, const std::vector<Row>& rows,
                               TensorType type = TensorType::int8) {
  auto dense = Dense::create(type, Shape{k, k, channels, filters}, Layout::Reversed);
  for (const Row& r : rows) {
    for (uint32_t i = 0; i < r.values.size(); ++i) {
      dense->data<int8_t>()[dense->offset_of({r.column + i, r.row, r.channel, r.filter})] =
          static_cast<int8_t>(r.values[i]);
    }
  }
  return dense;
}

// `size` zero words but the listed (index, value) ones.
Words sparse(size_t size, const std::vector<std::pair<size_t, uint32_t>>& set) {
  Words words(size, 0);
  for (const auto& [index, value] : set) words[index] = value;
  return words;
}

TEST(CnpWeightSizes, KernelsOutsideEachRuleThrowItsMessage) {
  EXPECT_EQ(thrown<std::runtime_error>([] { ch_cont_size(2, 8); }), "ch_cont_size: Unexpected kernel size.");
  EXPECT_EQ(thrown<std::runtime_error>([] { conv2d_cnp_formatted_weight_32b_size(6, 8, 1, 8); }),
            "ch_cont_size: Unexpected kernel size.");
  EXPECT_EQ(thrown<std::runtime_error>([] { conv2d_ch_cont_100b_size(4, 8, 4); }), "Unsupported kernel size.");
  EXPECT_EQ(thrown<std::runtime_error>([] { dwc_ch_cont_100b_size(1, 8, 8); }),
            "ch_cont_size: Unexpected kernel size.");
  EXPECT_EQ(thrown<std::runtime_error>([] { dwc_ch_cont_100b_size(4, 8, 4); }), "Invalid kernel size.");
  EXPECT_EQ(thrown<std::runtime_error>([] { dwc_cnp_formatted_4bit_weight_32b_size(1, 8); }), "Invalid kernel size.");
}

TEST(Conv2dWeights8bit, ThreeWordBlocks) {
  // K 1: channel c of filters 0, 1 = 0x10c + f + 1; 24-filter blocks of 2 hundred-bit words.
  const auto conv1x1x2x2 = weights(1, 2, 2, {{0, 0, 0, {1}}, {0, 1, 0, {2}}, {1, 0, 0, {0x11}}, {1, 1, 0, {0x12}}});
  EXPECT_EQ(format_conv2d_cnp_weights(*conv1x1x2x2, 0, 2, 8), sparse(12, {{0, 0x0201}, {6, 0x1211}}));

  // K 3, filters 1 and 2 of 3: rows 24 bytes apart, the six other slots of each row zero.
  const auto conv3x3x1x3 = weights(3, 1, 3, {{0, 0, 0, {9, 9, 9}}, {0, 1, 0, {0x11, 0x12, 0x13}},
                                             {0, 1, 1, {0x14, 0x15, 0x16}}, {0, 1, 2, {0x17, 0x18, 0x19}},
                                             {0, 2, 0, {0x21, 0x22, 0x23}}, {0, 2, 1, {0x24, 0x25, 0x26}},
                                             {0, 2, 2, {0x27, 0x28, -1}}});
  const Words kConv3x3Filters1To2 = sparse(18, {{0, 0x21131211}, {1, 0x2322}, {6, 0x24161514}, {7, 0x2625},
                                                {12, 0x27191817}, {13, 0xFF28}});
  EXPECT_EQ(format_conv2d_cnp_weights(*conv3x3x1x3, 1, 2, 8), kConv3x3Filters1To2);

  // K 4: 32-byte rows padded to 36.
  const auto conv4x4 = weights(4, 1, 1, {{0, 0, 0, {1, 2, 3, 4}}, {0, 0, 3, {5, 6, 7, 8}}});
  EXPECT_EQ(format_conv2d_cnp_weights(*conv4x4, 0, 1, 8), sparse(36, {{0, 0x04030201}, {27, 0x08070605}}));

  // K 5: filter f, row y = 0x10f + 5y + x + 1; five bytes and one gap per filter, 48-byte rows.
  std::vector<Row> rows;
  for (uint32_t f = 0; f < 2; ++f) {
    for (uint32_t y = 0; y < 5; ++y) {
      const int v = static_cast<int>(0x10 * f + 5 * y + 1);
      rows.push_back({0, f, y, {v, v + 1, v + 2, v + 3, v + 4}});
    }
  }
  const Words kConv5x5x1x2 = sparse(60, {{0, 0x04030201}, {1, 0x12110005}, {2, 0x00151413},
                                         {12, 0x09080706}, {13, 0x1716000A}, {14, 0x001A1918},
                                         {24, 0x0E0D0C0B}, {25, 0x1C1B000F}, {26, 0x001F1E1D},
                                         {36, 0x13121110}, {37, 0x21200014}, {38, 0x00242322},
                                         {48, 0x18171615}, {49, 0x26250019}, {50, 0x00292827}});
  EXPECT_EQ(format_conv2d_cnp_weights(*weights(5, 1, 2, rows), 0, 2, 8), kConv5x5x1x2);
}

TEST(Conv2dWeights8bit, Kernel7PutsOneFilterRowInEachHundredBitWord) {
  // Offset 6 of a row is split: bits 0-1 end half A (word 1 bits 16-17), bits 2-7 open half B.
  // -73 = 0b10110111: 0b11 and 0b101101; -1: 0b11 and 0x3F.
  const auto conv7x7x1x2 = weights(7, 1, 2, {{0, 0, 0, {1, 2, 3, 4, 5, 6, -73}}, {0, 1, 0, {-1}, 6},
                                             {0, 0, 6, {0x7F}}});
  const Words kConv7x7x1x2 = sparse(224, {{0, 0x04030201}, {1, 0x00030605}, {2, 0x2D},
                                          {5, 0x00030000}, {6, 0x3F}, {192, 0x7F}});
  EXPECT_EQ(format_conv2d_cnp_weights(*conv7x7x1x2, 0, 2, 8), kConv7x7x1x2);
}

TEST(Conv2dWeights8bit, XlRoundingCountZeroAndBadInput) {
  // 3 x 6 words x 114 channels = 2052 words: padded to 2064 with zeros.
  const Words xl = format_conv2d_cnp_weights(*weights(3, 114, 1, {{113, 0, 2, {0, 0, 5}}}), 0, 1, 8);
  ASSERT_EQ(xl.size(), 2064u);
  EXPECT_EQ(xl[113 * 18 + 12], 0x050000u);
  EXPECT_EQ(Words(xl.end() - 12, xl.end()), Words(12, 0));
  EXPECT_TRUE(format_conv2d_cnp_weights(*weights(3, 2, 4, {}), 4, 0, 8).empty());

  EXPECT_EQ(thrown<std::runtime_error>([] { format_conv2d_cnp_weights(*weights(6, 1, 1, {}), 0, 1, 8); }),
            "cnp_weight_format: Unexpected kernel size.");
  EXPECT_EQ(thrown<std::invalid_argument>([] { format_conv2d_cnp_weights(*weights(3, 1, 4, {}), 2, 3, 8); }),
            "The filter range goes past the last filter of the weights tensor.");
  const auto wide = Dense::create(TensorType::int8, Shape{3, 5, 1, 1});
  EXPECT_EQ(thrown<std::invalid_argument>([&] { format_conv2d_cnp_weights(*wide, 0, 1, 8); }),
            "CNP weights must be a four-dimensional tensor with a square kernel.");
  const auto unsigned_weights = Dense::create(TensorType::uint8, Shape{3, 3, 1, 1});
  EXPECT_NE(thrown<std::runtime_error>([&] { format_conv2d_cnp_weights(*unsigned_weights, 0, 1, 8); })
                .find("for a tensor of type uint8."),
            std::string::npos);
}

TEST(Conv2dWeights4bit, NibbleCursors) {
  // K 1: 12 nibbles per 48-bit half, so filter 12 opens word 2; -3 is 0xD.
  std::vector<Row> rows;
  for (uint32_t f = 0; f < 12; ++f) rows.push_back({0, f, 0, {static_cast<int>(f + 1)}});
  rows.push_back({0, 12, 0, {-3}});
  EXPECT_EQ(format_conv2d_4bit_weights(*weights(1, 1, 13, rows), 0, 13), (Words{0x87654321, 0xCBA9, 0xD, 0}));

  // K 3: a row of 8 filter slots fills one hundred-bit word; slot 4 opens half B.
  const auto conv3x3x1x5 = weights(3, 1, 5, {{0, 0, 0, {1, 2, 3}}, {0, 1, 0, {4, 5, 6}}, {0, 2, 0, {7, 8, 9}},
                                             {0, 3, 0, {-6, -5, -4}}, {0, 4, 0, {-3, -2, -1}}, {0, 0, 2, {7}}});
  EXPECT_EQ(format_conv2d_cnp_weights(*conv3x3x1x5, 0, 5, 4), sparse(12, {{0, 0x87654321}, {1, 0xCBA9}, {2, 0xFED},
                                                                          {8, 7}}));

  // K 5, 50-bit halves: filter 2 starts at bit 40, its third nibble 0xB straddles bit 50; row 4
  // starts at bit 40 of hundred-bit word 6.
  const auto conv5x5x1x3 = weights(5, 1, 3, {{0, 2, 0, {1, 2, -5, 3, 4}}, {0, 0, 4, {5}, 4}});
  EXPECT_EQ(format_conv2d_4bit_weights(*conv5x5x1x3, 0, 3), sparse(32, {{1, 0x32100}, {2, 0x10E}, {26, 0x140}}));

  // K 7: filters 3 and 6 of a row open words 1 and 2, the next row word 3; -1 at half B bit 30
  // straddles transfer words 2 and 3.
  const auto conv7x7x1x8 = weights(7, 1, 8, {{0, 0, 0, {1}}, {0, 2, 0, {-1}, 6}, {0, 3, 0, {2}}, {0, 6, 0, {3}},
                                             {0, 7, 0, {4}, 1}, {0, 0, 1, {5}}, {0, 7, 6, {6}, 6}});
  EXPECT_EQ(format_conv2d_4bit_weights(*conv7x7x1x8, 0, 8),
            sparse(84, {{0, 1}, {2, 0xC0000000}, {3, 3}, {4, 2}, {8, 3}, {9, 4}, {12, 5}, {82, 0x18}}));
}

TEST(Conv2dWeights4bit, ChannelsCountZeroAndKernel4) {
  // Channel c starts at c x 4 x ch_cont: word 4 for K 1, word 12 for K 3.
  EXPECT_EQ(format_conv2d_4bit_weights(*weights(1, 2, 1, {{1, 0, 0, {6}}}), 0, 1), sparse(8, {{4, 6}}));
  EXPECT_EQ(format_conv2d_4bit_weights(*weights(3, 2, 1, {{1, 0, 0, {6}}}), 0, 1), sparse(24, {{12, 6}}));
  EXPECT_TRUE(format_conv2d_4bit_weights(*weights(5, 3, 1, {}), 0, 0).empty());
  EXPECT_EQ(thrown<std::runtime_error>([] { format_conv2d_cnp_weights(*weights(4, 1, 1, {}), 0, 1, 4); }),
            "Unsupported kernel size.");
}

TEST(DepthwiseWeights8bit, RowRunsPaddingAndChannelStrides) {
  const auto dw3x3 = weights(3, 1, 2, {{0, 0, 0, {1, 2, 3}}, {0, 0, 1, {4, 5, 6}}, {0, 0, 2, {7, 8, 9}},
                                       {0, 1, 0, {0x11}}});
  EXPECT_EQ(format_depthwise_conv_cnp_weights(*dw3x3, 0, 2, 8), (Words{0x04030201, 0x08070605, 9, 0x11, 0, 0}));
  const auto dw4x4 = weights(4, 1, 2, {{0, 0, 0, {1, 2, 3, 4}}, {0, 0, 1, {5}}, {0, 1, 0, {6}}});
  EXPECT_EQ(format_depthwise_conv_cnp_weights(*dw4x4, 0, 2, 8), sparse(12, {{0, 0x04030201}, {1, 0x050000}, {6, 6}}));
  // K 7: 4 weights, 2 empty bytes, 3 weights, 3 padding bytes per row; channel 1 (tensor
  // channel 2) at byte 84.
  const auto dw7x7 = weights(7, 1, 3, {{0, 1, 0, {1, 2, 3, 4, 5, 6, 7}}, {0, 1, 6, {-2}, 6}, {0, 2, 0, {9}}});
  EXPECT_EQ(format_depthwise_conv_cnp_weights(*dw7x7, 1, 2, 8),
            sparse(42, {{0, 0x04030201}, {1, 0x06050000}, {2, 7}, {20, 0xFE}, {21, 9}}));
  EXPECT_TRUE(format_depthwise_conv_cnp_weights(*dw7x7, 3, 0, 8).empty());
  EXPECT_EQ(thrown<std::runtime_error>([] { format_depthwise_conv_cnp_weights(*weights(6, 1, 1, {}), 0, 1, 8); }),
            "ch_cont_size: Unexpected kernel size.");
}

TEST(DepthwiseWeights8bit, Kernel5ChannelsAdvance30BytesInside36Reserved) {
  // Channel 1 starts at byte 30 (word 7 byte 2), not at the reserved 36; words 15-17 stay zero.
  const auto dw5x5 = weights(5, 1, 2, {{0, 0, 0, {1, 2, 3, 4, 5}}, {0, 0, 1, {7}}, {0, 0, 4, {6}, 4},
                                       {0, 1, 0, {0x11, 0x12, 0x13, 0x14, 0x15}}, {0, 1, 4, {0x16}, 4}});
  const Words kDepthwise5x5x2 = sparse(18, {{0, 0x04030201}, {1, 0x00070005}, {7, 0x12110006}, {8, 0x00151413},
                                            {14, 0x00160000}});
  EXPECT_EQ(format_depthwise_conv_cnp_weights(*dw5x5, 0, 2, 8), kDepthwise5x5x2);
}

TEST(DepthwiseWeights4bit, RowsNeverStraddleHalves) {
  // K 3: one channel per half; -8 packs as 0x8.
  const auto dw3x3 = weights(3, 1, 2, {{0, 0, 0, {1, 2, 3}}, {0, 0, 1, {4, 5, 6}}, {0, 0, 2, {7, -8, -7}},
                                       {0, 1, 0, {-8}}, {0, 1, 2, {7}, 2}});
  EXPECT_EQ(format_depthwise_conv_cnp_weights(*dw3x3, 0, 2, 4), (Words{0x87654321, 0x9, 0x8, 0x7}));
  EXPECT_EQ(dwc_cnp_formatted_weight_32b_size(3, 2, 4), 16u);
  // K 5: rows 0-1, 2-3 and 4 in three halves.
  const auto dw5x5 = weights(5, 1, 1, {{0, 0, 0, {1}}, {0, 0, 1, {2}, 4}, {0, 0, 2, {3}}, {0, 0, 4, {-1}, 4}});
  EXPECT_EQ(format_depthwise_conv_cnp_4bit_weights(*dw5x5, 0, 1), (Words{1, 0x20, 3, 0, 0xF0000, 0}));
  // K 7: one row per half.
  std::vector<Row> rows;
  for (uint32_t y = 0; y < 7; ++y) rows.push_back({0, 0, y, {static_cast<int>(y + 1)}});
  rows.push_back({0, 0, 6, {-8}, 6});
  EXPECT_EQ(format_depthwise_conv_cnp_4bit_weights(*weights(7, 1, 1, rows), 0, 1),
            sparse(14, {{0, 1}, {2, 2}, {4, 3}, {6, 4}, {8, 5}, {10, 6}, {12, 0x08000007}}));

  EXPECT_TRUE(format_depthwise_conv_cnp_4bit_weights(*dw3x3, 1, 0).empty());
  const auto too_wide = weights(3, 1, 1, {{0, 0, 1, {8}}});
  EXPECT_EQ(thrown<std::runtime_error>([&] { format_depthwise_conv_cnp_4bit_weights(*too_wide, 0, 1); }),
            "8 cannot fit in a 4 bits signed integer.");
  EXPECT_EQ(thrown<std::runtime_error>([] { format_depthwise_conv_cnp_4bit_weights(*weights(4, 1, 1, {}), 0, 1); }),
            "Invalid kernel size.");
}

// Channels are packed a tile at a time: the weight refused is still the first one out of range
// in channel, row, column order, here in the second tile behind a later one in the first.
TEST(DepthwiseWeights4bit, TheFirstWeightOutOfRangeInChannelOrderIsNamed) {
  const struct {
    std::vector<Row> rows;
    const char* refused;
  } cases[] = {
      {{{0, 70, 0, {9}}, {0, 66, 2, {0, 0, -9}}}, "-9 cannot fit in a 4 bits signed integer."},
      {{{0, 66, 2, {0, 0, 0}}, {0, 3, 1, {0, 12}}, {0, 65, 0, {-20}}}, "12 cannot fit in a 4 bits signed integer."},
      {{{0, 64, 0, {7, -8, 7}}, {0, 64, 1, {8}}}, "8 cannot fit in a 4 bits signed integer."},
  };
  for (const auto& c : cases) {
    const auto dw = weights(3, 1, 80, c.rows);
    EXPECT_EQ(thrown<std::runtime_error>([&] { format_depthwise_conv_cnp_4bit_weights(*dw, 0, 80); }), c.refused);
  }
}

// The in-place form of each packer: the words it announces, then the same words and failures
// as the packer that returns them.
TEST(CnpWeightPackers, InPlaceFormsMatchTheReturnedWords) {
  using Format = std::vector<uint32_t> (*)(const Dense&, uint32_t, uint32_t, uint8_t);
  using Words = size_t (*)(const Dense&, uint32_t, uint32_t, uint8_t);
  using Pack = void (*)(const Dense&, uint32_t, uint32_t, uint8_t, std::span<uint32_t>);
  const struct {
    const char* name;
    Format format;
    Words words;
    Pack pack;
    uint32_t channels;
    std::vector<uint32_t> kernels;  // the last one is refused
  } packers[] = {
      {"Conv2D", format_conv2d_cnp_weights, conv2d_cnp_weight_words, pack_conv2d_cnp_weights, 3, {1, 3, 5, 7, 2}},
      {"DepthwiseConv2D", format_depthwise_conv_cnp_weights, depthwise_conv_cnp_weight_words,
       pack_depthwise_conv_cnp_weights, 1, {3, 5, 7, 6}},
  };
  for (const auto& p : packers) {
    for (const uint8_t bits : {uint8_t{4}, uint8_t{8}}) {
      for (const uint32_t k : p.kernels) {
        const auto tensor = weights(k, p.channels, 20, {{p.channels - 1, 17, k - 1, {-3}}, {0, 2, 0, {7}}});
        const bool refused = k == p.kernels.back();
        if (refused) {
          const std::string expected = thrown<std::runtime_error>([&] { p.format(*tensor, 2, 17, bits); });
          EXPECT_FALSE(expected.empty());
          EXPECT_EQ(thrown<std::runtime_error>([&] { p.words(*tensor, 2, 17, bits); }), expected);
          continue;
        }
        const std::vector<uint32_t> returned = p.format(*tensor, 2, 17, bits);
        ASSERT_EQ(p.words(*tensor, 2, 17, bits), returned.size()) << p.name << " " << k << "x" << k;
        std::vector<uint32_t> in_place(returned.size());
        p.pack(*tensor, 2, 17, bits, in_place);
        EXPECT_EQ(in_place, returned) << p.name << " " << int{bits} << "-bit " << k << "x" << k;
      }
    }
  }
}

}  // namespace
}  // namespace ornix::v2
