#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "program/hrc_format.h"
#include "program/thrown.h"

namespace ornix::program {
namespace {

using Words = std::vector<uint32_t>;

std::shared_ptr<Dense> weights(const std::vector<int8_t>& values, const Shape& shape, Layout layout = Layout::RowMajor) {
  return Dense::copy(values.data(), values.size(), TensorType::int8, shape, layout);
}

// Shape (k, k, channels, filters) with every weight of channel c and filter f = value(c, f).
template <typename Value>
std::shared_ptr<Dense> filled(uint32_t k, uint32_t channels, uint32_t filters, Value value) {
  std::vector<int8_t> values;
  for (uint32_t n = 0; n < k * k * channels; ++n) {
    for (uint32_t f = 0; f < filters; ++f) values.push_back(static_cast<int8_t>(value(n % channels, f)));
  }
  return weights(values, Shape{k, k, channels, filters});
}
const auto one = [](uint32_t, uint32_t) { return 1; };

// Weights 1..count (row-major over the kernel) of one filter, or 1..count and 0x21.. of two.
std::vector<int8_t> counting(int count, int filters) {
  std::vector<int8_t> values;
  for (int n = 0; n < count; ++n) {
    values.push_back(static_cast<int8_t>(1 + n));
    if (filters == 2) values.push_back(static_cast<int8_t>(0x21 + n));
  }
  return values;
}

TEST(HrcWeights, SingleChannelKernelsSplitIntoGroupsOfNine) {
  // 3x3: one group per filter in SRAM 0; -1 packs as 0xFF; the reversed layout reads the same.
  std::vector<int8_t> conv3x3 = counting(9, 2);
  conv3x3.back() = -1;
  const Words sram0{0x04030201, 0x08070605, 0x09, 0x24232221, 0x28272625, 0xFF};
  EXPECT_EQ(format_hrc_weights(*weights(conv3x3, Shape{3, 3, 1, 2})), (HrcWeightWords{sram0, {}, {}}));
  EXPECT_EQ(format_hrc_weights(*weights(conv3x3, Shape{2, 1, 3, 3}, Layout::Reversed))[0], sram0);

  // 4x4: nine and seven per filter.
  EXPECT_EQ(format_hrc_weights(*weights(counting(16, 2), Shape{4, 4, 1, 2})),
            (HrcWeightWords{Words{0x04030201, 0x08070605, 0x09, 0x24232221, 0x28272625, 0x29},
                            Words{0x0D0C0B0A, 0x00100F0E, 0, 0x2D2C2B2A, 0x00302F2E, 0},
                            {}}));
  // 5x5: groups dealt over the three SRAMs.
  EXPECT_EQ(format_hrc_weights(*weights(counting(25, 1), Shape{5, 5, 1, 1})),
            (HrcWeightWords{Words{0x04030201, 0x08070605, 0x09}, Words{0x0D0C0B0A, 0x11100F0E, 0x12},
                            Words{0x16151413, 0x00191817, 0}}));
}

TEST(HrcWeights, A3x3KernelHolds192FiltersPerSramAnd576InAll) {
  const HrcWeightWords wide = format_hrc_weights(*filled(3, 1, 200, [](uint32_t, uint32_t f) { return f % 128; }));
  ASSERT_EQ(wide[0].size(), 576u);
  ASSERT_EQ(wide[1].size(), 24u);
  EXPECT_EQ(Words(wide[0].end() - 3, wide[0].end()), (Words{0x3F3F3F3F, 0x3F3F3F3F, 0x3F}));
  EXPECT_EQ(Words(wide[1].begin(), wide[1].begin() + 3), (Words{0x40404040, 0x40404040, 0x40}));

  EXPECT_EQ(format_hrc_weights(*filled(3, 1, 576, one))[2].size(), 576u);
  EXPECT_EQ(thrown<std::invalid_argument>([&] { format_hrc_weights(*filled(3, 1, 577, one)); }),
            "HRC weights of one input channel and a 3x3 kernel hold at most 576 filters.");
}

TEST(HrcWeights, ThreeChannelsGoOneToEachSram) {
  // 7x7: six groups per filter (five of nine, one of four), 18 words per filter and SRAM.
  const HrcWeightWords words = format_hrc_weights(*filled(7, 3, 2, [](uint32_t c, uint32_t) { return c + 1; }));
  for (uint32_t c = 0; c < 3; ++c) {
    const uint32_t b = c + 1;
    const uint32_t all = b * 0x01010101u;
    ASSERT_EQ(words[c].size(), 36u) << "SRAM " << c;
    EXPECT_EQ(Words(words[c].begin() + 12, words[c].begin() + 19), (Words{all, all, b, all, 0, 0, all})) << c;
  }
  // 6x6 packs for three channels but not for one.
  EXPECT_EQ(format_hrc_weights(*filled(6, 3, 1, one))[2].size(), 12u);
  EXPECT_EQ(thrown<std::runtime_error>([&] { format_hrc_weights(*filled(6, 1, 1, one)); }),
            "Wrong kernel_size at HRC recording.");

  const std::string shape_text = "HRC weights must have four dimensions, a square kernel and 1 or 3 input channels.";
  EXPECT_EQ(thrown<std::invalid_argument>([&] { format_hrc_weights(*filled(5, 2, 1, one)); }), shape_text);
  EXPECT_EQ(thrown<std::invalid_argument>(
                [&] { format_hrc_weights(*weights(std::vector<int8_t>(15), Shape{3, 5, 1, 1})); }),
            shape_text);
}

}  // namespace
}  // namespace ornix::program
