#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

#include "backend/v1/cnp_weight_sizes.h"
#include "backend/v1/fnp_sizes.h"
#include "backend_v1/v1_fixtures.h"

namespace ornix::v1 {
namespace {

using ornix::test::throws_text;
using test::MappedLayer;

MappedLayer conv(LayerType type, int kernel, int filters, int bits, uint32_t channels) {
  return MappedLayer(type, {{"kernel_width", kernel}, {"kernel_height", kernel}, {"filters", filters},
                            {"weights_bits", bits}}, Shape{8, 8, channels}, 8, {});
}

MappedLayer dense(int units, int bits, uint32_t inputs) {
  return MappedLayer(LayerType::FullyConnected, {{"units", units}, {"weights_bits", bits}}, Shape{1, 1, inputs}, 8, {});
}

TEST(CnpSizes, InputContainerAndSram) {
  EXPECT_EQ(get_cnp_channel_container_size(10, 4), 5u);
  EXPECT_EQ(get_cnp_channel_container_size(9, 1), 2u);
  EXPECT_EQ(get_cnp_input_sram_size(5, 3, 2), 8u);
}

TEST(CnpSizes, StandardWeightWords) {
  struct Row {
    uint32_t kernel, channels, filters;
    int bits;
    uint32_t words;
  };
  const Row rows[] = {
      {1, 3, 10, 1, 48},   {1, 3, 10, 2, 48},  // 1x1 always takes the 2-bit layout: 32 bits / 48 -> 1 slot
      {3, 2, 10, 1, 32},   {3, 2, 40, 2, 64},  // 16/5 -> 4 slots; 80/5 -> 16 slots
      {5, 1, 72, 1, 80},   {7, 1, 8, 2, 32},   // 72/2 -> 36 slots; 16 slots
      {2, 1, 8, 1, 0},     {4, 1, 8, 2, 0},   {6, 1, 8, 1, 0},
      {1, 2, 13, 4, 64},   {3, 1, 9, 4, 32},  {5, 1, 8, 4, 32}, {7, 2, 16, 4, 384},
      {3, 1, 8, 3, 0xFFFFFFFF},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(get_std_cnp_sram_size(r.kernel, r.channels, r.filters, r.bits), r.words)
        << "k" << r.kernel << " c" << r.channels << " f" << r.filters << " wb" << r.bits;
  }
  EXPECT_THAT([] { get_std_cnp_sram_size(2, 1, 8, 4); }, throws_text<std::runtime_error>("Unsupported kernel size"));
  EXPECT_THAT([] { get_std_cnp_sram_size(9, 1, 8, 1); }, throws_text<std::runtime_error>("Unsupported kernel size"));
}

TEST(CnpSizes, SeparableWeightWords) {
  EXPECT_EQ(get_dw_weights_sram_size(3, 40, 2), 48u);  // two kernels a slot: 20 slots
  EXPECT_EQ(get_dw_weights_sram_size(5, 4, 4), 32u);   // two rows a slot: 3 slots a channel
  EXPECT_EQ(get_dw_weights_sram_size(7, 3, 4), 48u);   // a row a slot
  EXPECT_EQ(get_dw_weights_sram_size(1, 30, 2), 16u);  // 25 kernels a slot
  EXPECT_THAT([] { get_dw_weights_sram_size(7, 1, 8); },
              throws_text<std::invalid_argument>(
                  "A depthwise kernel row of width 7 with 8-bit weights does not fit a 50-bit weight word."));
  EXPECT_THROW(get_dw_weights_sram_size(0, 1, 2), std::invalid_argument);

  const uint32_t pointwise[][3] = {{16, 4, 2}, {24, 2, 1}, {12, 4, 2}, {13, 4, 2}, {10, 2, 2}, {25, 2, 2}};
  for (const auto& [filters, bits, slots] : pointwise) {
    EXPECT_EQ(get_nb_words_per_pw_channel(filters, static_cast<int>(bits)), slots) << filters << "x" << bits;
  }
  EXPECT_EQ(get_sep_cnp_sram_size(3, 10, 16, 4), 32u + 10 * 2 * 2);
}

TEST(CnpSizes, LayerWeightWordsAndFit) {
  EXPECT_EQ(get_weights_size(*conv(LayerType::Convolutional, 3, 10, 1, 2).layer, 10), 32u);
  // 1040 depthwise + 1025 x 2 pointwise = 3090 words need the extra-large header: 3104.
  EXPECT_EQ(get_weights_size(*conv(LayerType::SeparableConvolutional, 3, 24, 2, 1025).layer, 24), 3104u);
  EXPECT_THAT([] { get_weights_size(*dense(4, 1, 10).layer, 4); },
              throws_text<std::invalid_argument>("Unexpected layer type for CNP"));

  HardwareConstraints constraints;
  const auto std7 = conv(LayerType::Convolutional, 7, 1024, 2, 1);
  constraints.cnp_weight_memory_size = 2032;  // 1016 filters: 4064 words
  EXPECT_TRUE(check_weights_size_fit_cnp(constraints, *std7.layer, 1016));
  constraints.cnp_weight_memory_size = 2031;
  EXPECT_FALSE(check_weights_size_fit_cnp(constraints, *std7.layer, 1016));
  constraints.cnp_weight_memory_size = 0xFFFFFFFF;  // 4096 words a channel: the per-channel limit
  EXPECT_FALSE(check_weights_size_fit_cnp(constraints, *std7.layer, 1024));
  const auto sep = conv(LayerType::SeparableConvolutional, 3, 24, 2, 1025);
  EXPECT_TRUE(check_weights_size_fit_cnp(constraints, *sep.layer, 24));
  // An unsupported weight width never fits, even after the extra-large rounding.
  EXPECT_FALSE(check_weights_size_fit_cnp(constraints, *conv(LayerType::Convolutional, 3, 8, 3, 1).layer, 8));
}

TEST(FnpSizes, MemoryAndInputWords) {
  EXPECT_EQ(fnp_sram_size(Shape{10, 100}, 1), 80u);
  EXPECT_EQ(fnp_sram_size(Shape{10, 100}, 2), 120u);
  EXPECT_EQ(fnp_sram_size(Shape{10, 100}, 4), 280u);
  EXPECT_EQ(get_fnp_input_size(*dense(4, 1, 100).layer), 4u);

  const auto large = dense(345, 2, 32);  // 6 x 345 = 2070 words, rounded for the extra-large header
  EXPECT_EQ(get_fnp_sram_size(*large.layer), 2080u);
  EXPECT_EQ(get_fnp_sram_size(*dense(300, 2, 32).layer), 1800u);
  HardwareConstraints constraints;
  EXPECT_TRUE(is_fnp_type_compatible(constraints, *large.layer, hw::Type::FNP2));
  constraints.fnp3_sram_size = 2079;
  EXPECT_FALSE(is_fnp_type_compatible(constraints, *large.layer, hw::Type::FNP3));
  constraints.fnp3_sram_size = 2080;
  EXPECT_TRUE(is_fnp_type_compatible(constraints, *large.layer, hw::Type::FNP3));
}

}  // namespace
}  // namespace ornix::v1
