#include "mapping/conv_split.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <stdexcept>
#include <tuple>
#include <vector>

#include "engine/layer_fixtures.h"
#include "mapping/dimension_split.h"
#include "mapping/split_enumeration.h"
#include "mapping/split_components.h"
#include "mapping/split_fixtures.h"
#include "mapping/sram_split.h"

namespace ornix::test {
namespace {

using Chunks = SplitsNumChunks;

TEST(SplitEnumeration, ListsEveryFactorisationInItsOrder) {
  EXPECT_EQ(Chunks::get_splits_number(6), (std::vector<Chunks>{{6, 1, 1}, {3, 2, 1}, {3, 1, 2}, {2, 3, 1}, {2, 1, 3},
                                                               {1, 6, 1}, {1, 3, 2}, {1, 2, 3}, {1, 1, 6}}));
}

TEST(SplitDimension, CutsAnAxisIntoTheFewestAlignedPieces) {
  EXPECT_EQ(split_dimension(40, 256, 3), (DimensionSplit{1, 40, 40, 256, 3}));
  // Three pieces of 4 would round up to 6 > 4: pieces of 3, and one more of them.
  EXPECT_EQ(split_dimension(10, 4, 3), (DimensionSplit{4, 3, 10, 4, 3}));
  // Two pieces of 5 round up to 6, which the limit admits.
  EXPECT_EQ(split_dimension(10, 6, 3), (DimensionSplit{2, 6, 10, 6, 3}));
  EXPECT_TRUE(split_dimension(10, 2, 3).failed());  // limit below the pooling width
  EXPECT_TRUE(split_dimension(UINT32_MAX, 2, 1).failed());  // ceil(total / limit) leaves 32 bits
  EXPECT_EQ(split_alignment({1, 1, 1, 1, 1, 3, 3, 8}), 3u);
  EXPECT_EQ(split_alignment({1, 1, 1, 1, 2, 3, 3, 8}), 1u);  // average pooling aligns nothing
}

TEST(FindNeuronsSplit, GrowsTheGroupCountUntilOneGroupFits) {
  auto model = model_with_input(8, 8, 4);
  const auto conv = add_layer(*model, LayerType::Conv2D, {{"kernel_size", 1}, {"filters", 64}});
  SplitChecker checker;
  checker.max_filters_per_np = 20;  // 64, 32, 22 do not fit, 16 does
  EXPECT_EQ(find_neurons_split(*conv, checker, {1, 64, 64, 512, 1}), (DimensionSplit{4, 16, 64, 512, 1}));
  checker.max_filters_per_np = 4;
  // 4 groups of 8 would leave the last empty; 5 groups of 4 do not.
  EXPECT_EQ(find_neurons_split(*conv, checker, {3, 8, 20, 9, 4}), (DimensionSplit{5, 4, 20, 9, 4}));
  checker.max_filters_per_np = 3;  // aligned groups never get below 4
  EXPECT_TRUE(find_neurons_split(*conv, checker, {2, 8, 10, 8, 4}).failed());
}

// W 100, H 40, 16 channels, 3x3 kernel, 64 filters, a 64-column limit.
TEST(SplitConvLayer, SpreadsTheExampleOverTheFewestNpsWhoseWindowsFit) {
  auto model = model_with_input(100, 40, 16);
  const auto conv = add_layer(*model, LayerType::Conv2D, {{"kernel_size", 3}, {"filters", 64}, {"padding", 1}}, "conv");
  SplitChecker checker;
  checker.split_params = {1, 1, 1, 1, 0, 0, 0, 64};
  checker.dual_area = 1500;
  checker.single_area = 3000;

  // Two pieces: 51 x 40 fits single-buffered only.
  const auto [two, status] = split_conv_layer(*conv, checker, 256, 64, 512, hw::Type::CNP1, false);
  EXPECT_TRUE(status.success());
  EXPECT_EQ(two, (std::vector{np_share(0, 64, space(0, 0, 50, 40, 16), space(0, 0, 51, 40, 16), true),
                              np_share(0, 64, space(50, 0, 50, 40, 16), space(49, 0, 51, 40, 16), true)}));

  // Dual buffering only: three pieces of 34, windows 36 x 40.
  const auto [three, dual_status] = split_conv_layer(*conv, checker, 256, 64, 512, hw::Type::CNP1, true);
  EXPECT_EQ(three, (std::vector{np_share(0, 64, space(0, 0, 34, 40, 16), space(0, 0, 35, 40, 16), false),
                                np_share(0, 64, space(34, 0, 34, 40, 16), space(33, 0, 36, 40, 16), false),
                                np_share(0, 64, space(68, 0, 32, 40, 16), space(67, 0, 33, 40, 16), false)}));

  // Everything fits one NP: the whole plane, every filter, no halo.
  checker.dual_area = 4000;
  const auto [whole, whole_status] = split_conv_layer(*conv, checker, 256, 128, 512, hw::Type::CNP1, false);
  EXPECT_EQ(whole, (std::vector{np_share(0, 64, space(0, 0, 100, 40, 16), space(0, 0, 100, 40, 16), false)}));
}

TEST(SplitConvLayer, ReportsTheFirstCheckThatFails) {
  auto model = model_with_input(100, 40, 16);
  const auto conv = add_layer(*model, LayerType::Conv2D, {{"kernel_size", 3}, {"filters", 64}, {"padding", 1}}, "conv");
  SplitChecker checker;
  checker.split_params = {1, 1, 1, 1, 1, 3, 3, 0};  // max pooling of 3, no filters
  const auto failure = [&](const Layer& layer, uint32_t max_height, uint32_t max_width, uint32_t max_filters) {
    const auto [components, status] =
        split_conv_layer(layer, checker, max_height, max_width, max_filters, hw::Type::CNP1, false);
    EXPECT_TRUE(components.empty());
    EXPECT_EQ(status.layer_name(), layer.name());
    return status.message();
  };
  EXPECT_EQ(failure(*conv, 0, 64, 512), "Cannot split by height.");
  EXPECT_EQ(failure(*conv, 256, 2, 512), "Cannot split by width.");  // below the pooling width, before filters
  EXPECT_EQ(failure(*conv, 256, 64, 512), "Cannot split by neurons.");
  checker.split_params.filters = 64;
  checker.max_filters_per_np = 0;
  EXPECT_EQ(failure(*conv, 256, 64, 512), "Cannot split to fit weights in ram.");
  // Millions of NP counts lie between the fewest and the most: the search must still end.
  auto large = model_with_input(224, 224, 64);
  const auto wide = add_layer(*large, LayerType::Conv2D, {{"kernel_size", 3}, {"filters", 64}, {"padding", 1}}, "wide");
  checker.split_params = {1, 1, 1, 1, 0, 0, 0, 64};
  checker.max_filters_per_np = 64;
  checker.single_area = checker.dual_area = 0;
  EXPECT_EQ(failure(*wide, 256, 64, 512), "Cannot split to fit inputs in ram.");
  const auto dense = add_layer(*model, LayerType::Dense1D, {{"units", 4}}, "dense");
  EXPECT_EQ(failure(*dense, 256, 64, 512), "No hardware component is available.");  // neither CNP nor TNP-B
}

TEST(MakeSplitComponents, LaysPiecesFromTheOriginAndReadsNeighboursInsideTheInput) {
  // W 10, max pooling 3 padded by 1 before the first column: pieces of 6, the first shortened.
  auto model = model_with_input(10, 4, 2);
  const auto pooled = add_layer(
      *model, LayerType::Conv2D, {{"kernel_size", 3}, {"filters", 4}, {"padding", 1}, {"pool_type", 1}, {"pool_size", 3}});
  SplitChecker checker;
  checker.split_params = {1, 1, 1, 1, 1, 3, 3, 4};
  const auto [components, status] = split_conv_layer(*pooled, checker, 256, 6, 512, hw::Type::CNP1, false);
  EXPECT_EQ(components, (std::vector{np_share(0, 4, space(0, 0, 5, 4, 2), space(0, 0, 6, 4, 2), false),
                                     np_share(0, 4, space(5, 0, 5, 4, 2), space(4, 0, 6, 4, 2), false)}));

  // Width pieces outermost, filter groups innermost; a halo of 2 around pieces of one column or
  // row stops at the first column or row.
  auto tiny = model_with_input(2, 2, 2);
  const auto conv = add_layer(*tiny, LayerType::Conv2D, {{"kernel_size", 5}, {"filters", 6}, {"padding", 1}});
  const auto share = [](uint32_t x, uint32_t y, uint32_t start, uint32_t filters, uint32_t width, uint32_t height) {
    return np_share(start, filters, space(x, y, 1, 1, 2), space(0, 0, width, height, 2), true, hw::Type::CNP2);
  };
  EXPECT_EQ(make_split_components(*conv, {2, 2, 2, 2, 0, 0, 0, 6}, {2, 1, 2, 1, 1}, {2, 1, 2, 1, 1},
                                  {2, 4, 6, 8, 1}, true, hw::Type::CNP2),
            (std::vector{share(0, 0, 0, 4, 3, 3), share(0, 0, 4, 2, 3, 3), share(0, 1, 0, 4, 3, 2),
                         share(0, 1, 4, 2, 3, 2), share(1, 0, 0, 4, 2, 3), share(1, 0, 4, 2, 2, 3),
                         share(1, 1, 0, 4, 2, 2), share(1, 1, 4, 2, 2, 2)}));
  // A third piece of a 2-column input is empty.
  EXPECT_THAT([&] { make_split_components(*conv, {}, {3, 1, 2, 1, 1}, {1, 2, 2, 8, 1}, {1, 6, 6, 8, 1}, true,
                                          hw::Type::CNP1); },
              throws_text<std::runtime_error>("Cannot have a shape with a dimension set to 0"));
}

TEST(SplitDepthwiseConvLayer, GroupsTnpBChannelsInFours) {
  const auto temporal_layer = [](Model& model) {
    return add_layer(model, LayerType::DepthwiseBufferTempConv, {{"fifo_size", 3}}, "temporal");
  };
  SplitChecker checker;  // no halo on a TNP-B
  auto twelve = model_with_input(4, 4, 12);
  const auto [groups, status] =
      split_depthwise_conv_layer(*temporal_layer(*twelve), checker, 256, 64, 8, hw::Type::TNP_B, false);
  const hw::Type tnp_b = hw::Type::TNP_B;
  EXPECT_EQ(groups, (std::vector{np_share(0, 8, space(0, 0, 4, 4, 8), space(0, 0, 4, 4, 8), false, tnp_b),
                                 np_share(8, 4, space(0, 0, 4, 4, 4), space(0, 0, 4, 4, 4), false, tnp_b)}));
  EXPECT_TRUE(checker.questions.back().fifo_size == 3u && checker.questions.back().type == tnp_b);

  auto ten = model_with_input(4, 4, 10);  // every distribution leaves a last group of 2
  const auto layer = temporal_layer(*ten);
  EXPECT_EQ(std::get<1>(split_depthwise_conv_layer(*layer, checker, 256, 64, 8, tnp_b, false)).message(),
            "Cannot split to fit inputs in ram.");
  EXPECT_EQ(std::get<1>(split_depthwise_conv_layer(*layer, checker, 256, 64, 3, tnp_b, false)).message(),
            "Cannot split by neurons.");
}

TEST(AddReservation, TakesInputMemoryWhenTheFirstInboundIsAnAdd) {
  auto model = model_with_input(8, 8, 4);
  const auto input = model->get_layer(0);
  const auto a = add_layer(*model, LayerType::Conv2D, {{"kernel_size", 1}, {"filters", 4}}, "a");
  const auto b = make_layer(LayerType::Conv2D, {{"kernel_size", 1}, {"filters", 4}}, "b");
  model->add(b, {input});
  const auto add = make_layer(LayerType::Add, {{"output_bits", 4}}, "add");
  model->add(add, {a, b});
  const auto after_add = add_layer(*model, LayerType::Conv2D, {{"kernel_size", 1}, {"filters", 4}}, "after_add");
  const auto add_first = make_layer(LayerType::Concatenate, {}, "add_first");
  model->add(add_first, {add, a});
  const auto add_second = make_layer(LayerType::Concatenate, {}, "add_second");
  model->add(add_second, {a, add});

  EXPECT_EQ(v2::get_add_pksram_shift(*after_add), 512u);
  EXPECT_EQ(v2::get_add_pksram_shift(*add_first), 512u);
  EXPECT_EQ(v2::get_add_pksram_shift(*add_second), 0u);

  SplitChecker checker;
  checker.split_params.filters = 4;
  EXPECT_TRUE(std::get<1>(split_conv_layer(*after_add, checker, 256, 64, 512, hw::Type::CNP1, false)).success());
  EXPECT_TRUE(checker.questions.back().reserved == 512u && checker.questions.back().input_bits == 4u);
}

}  // namespace
}  // namespace ornix::test
