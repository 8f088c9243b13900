#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <stdexcept>

#include "mapping/layer_graph_fixtures.h"

namespace ornix {
namespace {

using test::Graph;
using test::Layers;
using test::throws_text;

TEST(OutBranchesCount, CountsTheBranchesLeftOpen) {
  Graph g;
  const auto a = g.conv("a", {g.input()});
  const auto b = g.conv("b", {a});
  const auto c = g.conv("c", {b});
  const auto p = g.conv("p", {g.input()});
  const auto q = g.conv("q", {p});
  const auto m = g.merge("m", {g.conv("r", {q}), g.conv("t", {q})});
  const auto n = g.conv("n", {m});

  EXPECT_EQ(get_out_branches_count({a, b}), 1);
  EXPECT_EQ(get_out_branches_count({a, b, c}), 0);
  EXPECT_EQ(get_out_branches_count({q, p}), 2);
  // The first layer as given closes one branch, though a merge layer takes two.
  EXPECT_EQ(get_out_branches_count({m, n}), 0);
  EXPECT_EQ(get_out_branches_count({n, m}), -1);
}

TEST(LayersToMapTogether, RunUntilOneBranchIsLeftPastTheMerge) {
  Graph g;
  const auto s = g.conv("s", {g.input()});
  const auto a = g.conv("a", {s});
  const auto b = g.conv("b", {s});
  const auto m = g.merge("m", {a, b});
  const auto n = g.conv("n", {m});
  const auto o = g.conv("o", {n});

  EXPECT_EQ(get_layers_to_map_together({s, m, b, a, n, o}), (Layers{s, b, a, m, n}));
  EXPECT_EQ(get_layers_to_map_together({n, o}), (Layers{n}));
  EXPECT_EQ(get_layers_to_map_together({s, a, b}), (Layers{s, a, b}));
}

TEST(FirstMappableLayer, IsTheFirstLayerOrWhatFollowsAMergeLayer) {
  Graph g;
  const auto a = g.conv("a", {g.input()});
  const auto b = g.conv("b", {g.input()});
  const auto single = g.merge("single", {a, b});
  const auto n = g.conv("n", {single});
  const auto stepped = g.merge("stepped", {a, b});  // outbound depths 4 and 5
  const auto p = g.conv("p", {stepped});
  g.merge("p_merge", {p, stepped});
  const auto even = g.merge("even", {a, b});
  const auto even_a = g.conv("even_a", {even});
  g.conv("even_b", {even});
  const auto dead_end = g.merge("dead_end", {a, b});

  EXPECT_EQ(first_mappable_layer({b, n}), b);
  EXPECT_EQ(first_mappable_layer({single, n}), n);
  EXPECT_EQ(first_mappable_layer({stepped, p}), p);
  EXPECT_THAT([&] { first_mappable_layer({a, single, b}); },
              throws_text<std::runtime_error>(
                  "Can't retrieve the first mappable layer. This pass definition is not yet supported."));
  EXPECT_THAT([&] { first_mappable_layer({dead_end}); },
              throws_text<std::runtime_error>("Can't retrieve the first layer of the pass."));
  EXPECT_THAT([&] { first_mappable_layer({even, even_a}); },
              throws_text<std::runtime_error>(
                  "Can't retrieve the first layer of the pass. This pass definition is not supported."));
}

TEST(LastMappableLayer, IsTheDeepestLayerOrTheDeepestInputOfAMergeLayer) {
  Graph g;
  const auto x = g.conv("x", {g.input()});
  const auto z = g.conv("z", {g.conv("y", {x})});  // depth 4
  const auto c5 = g.conv("c5", {z});
  const auto c6 = g.conv("c6", {c5});
  const auto c7 = g.conv("c7", {c6});
  const auto m = g.merge("m", {z, c7});

  EXPECT_EQ(last_mappable_layer({z, x}), z);
  EXPECT_EQ(last_mappable_layer({z, c5, c6, c7, m}), c7);
}

TEST(NextMappableLayer, FollowsFirstOutboundLayersOverMergeLayers) {
  Graph g;
  const auto x = g.conv("x", {g.input()});
  const auto c1 = g.conv("c1", {x});
  const auto c2 = g.conv("c2", {c1});
  const auto m = g.merge("m", {c2, x});
  const auto n = g.conv("n", {m});
  g.conv("after_pass", {n});
  const auto dead_end = g.conv("dead_end", {c1});
  const Layers pass{x, c1, c2, m, n, dead_end};

  EXPECT_EQ(next_mappable_layer(x, pass), c1);
  EXPECT_EQ(next_mappable_layer(c2, pass), n);
  EXPECT_EQ(next_mappable_layer(n, pass), nullptr);
  EXPECT_EQ(next_mappable_layer(dead_end, pass), nullptr);
}

}  // namespace
}  // namespace ornix
