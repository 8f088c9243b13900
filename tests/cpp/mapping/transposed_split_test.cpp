#include "mapping/transposed_split.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <tuple>
#include <vector>

#include "engine/layer_fixtures.h"
#include "mapping/split_fixtures.h"

namespace ornix::test {
namespace {

std::shared_ptr<Layer> transposed(Model& model, int32_t kernel_size, int32_t filters = 8) {
  return add_layer(model, LayerType::Conv2DTranspose, {{"kernel_size", kernel_size}, {"filters", filters}}, "up");
}

std::string failure(const SplitResult& result) {
  EXPECT_TRUE(std::get<0>(result).empty());
  EXPECT_EQ(std::get<1>(result).layer_name(), "up");
  return std::get<1>(result).message();
}

TEST(SplitTransposedConv2dLayer, CutsColumnsOnlyAndReadsOneColumnBeforeAndKernelMinusThreeAfter) {
  auto model = model_with_input(60, 10, 4);
  SplitChecker checker;
  const auto [three, status] = split_transposed_conv2d_layer(*transposed(*model, 3), checker, 32, 20, 512, false);
  EXPECT_TRUE(status.success());
  EXPECT_EQ(three, (std::vector{np_share(0, 8, space(0, 0, 20, 10, 4), space(0, 0, 20, 10, 4), false),
                                np_share(0, 8, space(20, 0, 20, 10, 4), space(19, 0, 21, 10, 4), false),
                                np_share(0, 8, space(40, 0, 20, 10, 4), space(39, 0, 21, 10, 4), false)}));
  EXPECT_EQ(checker.questions.back().width, 21u);  // one column before, none after

  auto wide_kernel = model_with_input(60, 10, 4);
  const auto [four, four_status] =
      split_transposed_conv2d_layer(*transposed(*wide_kernel, 4), checker, 32, 20, 512, false);
  EXPECT_EQ(four, (std::vector{np_share(0, 8, space(0, 0, 20, 10, 4), space(0, 0, 21, 10, 4), false),
                               np_share(0, 8, space(20, 0, 20, 10, 4), space(19, 0, 22, 10, 4), false),
                               np_share(0, 8, space(40, 0, 20, 10, 4), space(39, 0, 21, 10, 4), false)}));
  EXPECT_EQ(checker.questions.back().width, 22u);
  EXPECT_EQ(checker.questions.back().height, 10u);  // rows are never cut

  auto two_pieces = model_with_input(40, 10, 4);
  EXPECT_TRUE(std::get<1>(split_transposed_conv2d_layer(*transposed(*two_pieces, 4), checker, 32, 20, 512, false))
                  .success());
  EXPECT_EQ(checker.questions.back().width, 21u);  // the larger of the two sides
}

TEST(SplitTransposedDwconv2dLayer, GroupsChannelsWithTheirOwnWindows) {
  auto model = model_with_input(8, 4, 12);
  const auto layer = add_layer(*model, LayerType::DepthwiseConv2DTranspose, {{"kernel_size", 3}}, "up");
  SplitChecker checker;
  const auto [groups, status] = split_transposed_dwconv2d_layer(*layer, checker, 32, 32, 8, false);
  EXPECT_EQ(groups, (std::vector{np_share(0, 6, space(0, 0, 8, 4, 6), space(0, 0, 8, 4, 6), false),
                                 np_share(6, 6, space(0, 0, 8, 4, 6), space(0, 0, 8, 4, 6), false)}));
  EXPECT_EQ(checker.questions.back().channels, 6u);
}

TEST(SplitTransposedConv2dLayer, RefusesRowCutsAndSmallKernels) {
  auto model = model_with_input(60, 10, 4);
  const auto layer = transposed(*model, 3);
  SplitChecker checker;
  // Width and filters would fit; the rows would need two pieces.
  EXPECT_EQ(failure(split_transposed_conv2d_layer(*layer, checker, 5, 64, 512, false)),
            "Split by height is not supported.");
  auto small_kernel = model_with_input(60, 10, 4);
  EXPECT_EQ(failure(split_transposed_conv2d_layer(*transposed(*small_kernel, 2), checker, 32, 64, 512, false)),
            "Cannot split a transposed convolution whose kernel size is below 3.");
}

}  // namespace
}  // namespace ornix::test
