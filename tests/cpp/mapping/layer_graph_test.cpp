#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "mapping/layer_graph_fixtures.h"
#include "ornix/layers/convolution_v2.h"

namespace ornix {
namespace {

using test::Graph;
using test::Layers;

// Counts the inbound-layer queries made on it.
class InboundCountingConv2D final : public Conv2D {
 public:
  using Conv2D::Conv2D;
  using Conv2D::inbound_layers;
  std::vector<std::shared_ptr<Layer>> inbound_layers() override {
    ++queries;
    return Conv2D::inbound_layers();
  }
  int queries = 0;
};

TEST(LayerDepth, IsOneMoreThanTheDeepestInboundLayerAndStoredDepthsStand) {
  Graph g;
  const auto d = g.conv("d", {g.conv("c", {g.conv("b", {g.conv("a", {g.input()})})})});  // depth 5
  const auto merge = g.merge("merge", {g.conv("side", {g.input()}), d});
  LayerDepthMap depths;
  EXPECT_EQ(get_layer_depth(merge, &depths), 6u);
  EXPECT_EQ(depths.size(), 7u);  // the merge layer and all its ancestors
  EXPECT_EQ(depths.at(d), 5u);

  const auto params = LayerParams::create(LayerType::Conv2D, {{"kernel_size", 1}, {"filters", 4}});
  const auto spy = std::make_shared<InboundCountingConv2D>(*params, "spy");
  g.add(spy, {g.input()});
  LayerDepthMap stored{{spy, 7}};
  EXPECT_EQ(get_layer_depth(spy, &stored), 7u);
  EXPECT_EQ(spy->queries, 0);
  LayerDepthMap deep_input{{g.input(), 10}};
  EXPECT_EQ(get_layer_depth(spy, &deep_input), 11u);
}

TEST(SortByDepth, OrdersByDepthKeepingShortListsInInputOrder) {
  Graph g;
  const auto a = g.conv("a", {g.input()});
  const auto b = g.conv("b", {g.input()});
  const auto c = g.conv("c", {g.input()});
  const auto d = g.conv("d", {a});
  Layers layers{d, b, g.input(), c, a};
  sort_by_depth(&layers);
  EXPECT_EQ(layers, (Layers{g.input(), b, c, a, d}));

  // 20 layers: a chain of depths 2 to 6 and 14 more of depth 2, deepest first.
  Layers many{g.input()};
  for (int i = 0; i < 5; ++i) many.push_back(g.conv("chain" + std::to_string(i), {many.back()}));
  for (int i = 0; i < 14; ++i) many.push_back(g.conv("side" + std::to_string(i), {g.input()}));
  std::reverse(many.begin(), many.end());
  sort_by_depth(&many);
  LayerDepthMap depths;
  std::vector<uint32_t> sorted;
  for (const auto& layer : many) sorted.push_back(get_layer_depth(layer, &depths));
  EXPECT_EQ(sorted, (std::vector<uint32_t>{1, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 3, 4, 5, 6}));
}

TEST(SplitLayers, SplitAndAlternativeLayersFollowTheirOutboundLayers) {
  Graph g;
  const auto even = g.conv("even", {g.input()});  // outbound depths 3 and 3
  const auto leaf = g.conv("leaf", {even});
  g.conv("even_b", {even});
  const auto uneven = g.conv("uneven", {g.input()});  // outbound depths 3 and 4
  const auto step = g.conv("step", {uneven});
  g.merge("uneven_merge", {step, uneven});
  const auto three = g.conv("three", {g.input()});  // outbound depths 3, 3 and 3
  for (const char* name : {"three_a", "three_b", "three_c"}) g.conv(name, {three});

  LayerDepthMap depths;
  EXPECT_TRUE(is_alt_layer(even, &depths));
  EXPECT_FALSE(is_alt_layer(uneven, &depths));
  EXPECT_FALSE(is_alt_layer(three, &depths));
  EXPECT_TRUE(is_split_layer(three));
  EXPECT_FALSE(is_split_layer(step));
  EXPECT_FALSE(is_split_layer(leaf));
}

TEST(SkipDmaNeeds, LoadsAndStoresAroundMergeLayers) {
  Graph g;
  const auto a = g.conv("a", {g.input()});
  const auto b = g.conv("b", {g.input()});
  const auto merge = g.merge("merge", {a, b});
  EXPECT_TRUE(layer_need_load_dma(*g.temporal("tnp_after_conv", {a})));
  EXPECT_TRUE(layer_need_load_dma(*g.conv("cnp_after_merge", {merge})));
  EXPECT_FALSE(layer_need_load_dma(*g.conv("cnp_after_conv", {a})));
  EXPECT_FALSE(layer_need_load_dma(*g.dense("fnp_after_merge", {merge})));

  // A CNP layer after a merge layer with two outbound layers keeps a second output.
  const auto single = g.conv("single", {g.merge("single_merge", {a, b})});
  const auto split_merge = g.merge("split_merge", {a, b});
  const auto first = g.conv("first", {split_merge});
  const auto temporal = g.temporal("second", {split_merge});
  EXPECT_FALSE(is_dual_output_layer(single));
  EXPECT_TRUE(is_dual_output_layer(first));
  EXPECT_FALSE(is_dual_output_layer(temporal));
  EXPECT_TRUE(layer_need_store_dma(first, {}));
  EXPECT_TRUE(layer_need_store_dma(temporal, {}));
  EXPECT_FALSE(layer_need_store_dma(single, {}));
}

TEST(SkipConnection, LayersOnTheShortcutFormTheSkipBranch) {
  Graph g;
  const auto x = g.conv("x", {g.input()});
  const auto c1 = g.conv("c1", {x});
  const auto c2 = g.conv("c2", {c1});
  const auto plain = g.merge("plain", {c2, x});
  const auto s = g.conv("s", {x});
  const auto deep_first = g.merge("deep_first", {c2, s});

  LayerDepthMap depths;
  const auto shortcut = get_skipconnect_branch(plain, &depths);
  EXPECT_EQ(shortcut.main_branch, (Layers{c1, c2}));
  EXPECT_TRUE(shortcut.skip_branch.empty());
  EXPECT_EQ(shortcut.fork_layer, x);
  for (const auto& merge : {deep_first, g.merge("shallow_first", {s, c2})}) {
    const auto branch = get_skipconnect_branch(merge, &depths);
    EXPECT_EQ(branch.main_branch, (Layers{c1, c2}));
    EXPECT_EQ(branch.skip_branch, (Layers{s}));
    EXPECT_EQ(branch.fork_layer, x);
  }

  const Layers pass{x, c1, c2, plain};
  EXPECT_TRUE(is_skip_layer(x, pass));
  EXPECT_TRUE(layer_need_store_dma(x, pass));
  EXPECT_FALSE(layer_need_store_dma(c1, pass));
  EXPECT_FALSE(is_skip_layer(x, {x, c1, c2}));  // no merge layer in the list
  EXPECT_TRUE(is_skip_layer(s, {x, c1, c2, s, deep_first}));
  EXPECT_FALSE(is_skip_layer(x, {x, c1, c2, s, deep_first}));
}

}  // namespace
}  // namespace ornix
