#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstddef>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "mapping/layer_graph_fixtures.h"
#include "mapping/layer_mapping_builder.h"

// Expected ids, channel numbers and indices are worked out by hand in the comments above each
// model: depths count the model's input layer as 1.

namespace ornix {
namespace {

using test::Graph;
using test::Layers;
using test::throws_text;
using Components = std::vector<hw::Component>;
using Lists = std::vector<SharedComponents>;
using Placements = LayerMappingBuilder::ComponentLists;  // one component list per layer

constexpr hw::Ident kDma{0, 0, 1, 0};

hw::Component np(uint8_t col, uint8_t row, hw::Type type = hw::Type::CNP1) {
  hw::Component component;
  component.type = type;
  component.ident = {col, row, 0, 0};
  component.allocation = NpAllocation{};
  return component;
}

hw::Component skip_dma(hw::Type type, uint8_t channel) {
  hw::Component component;
  component.type = type;
  component.ident = {9, 1, 0, channel};
  return component;
}

const hw::Component kStore = skip_dma(hw::Type::SKIP_DMA_STORE, 1);
const hw::Component kLoad = skip_dma(hw::Type::SKIP_DMA_LOAD, 2);

LayerMapping& record(const std::shared_ptr<Layer>& layer) {
  const auto mapping = layer_mapping_of(*layer);
  if (mapping == nullptr) throw std::logic_error("no record on " + layer->name());
  return *mapping;
}

// One shared list holding only the DMA endpoint of the pass.
bool is_dma_list(const SharedComponents& list) {
  return list->size() == 1 && list->front().type == hw::Type::DMA && list->front().ident == kDma &&
         !list->front().allocation;
}

std::shared_ptr<Layer> add(Graph& graph, LayerType type, const LayerParams::Values& values, const std::string& name,
                           const Layers& inbounds) {
  auto layer = test::make_layer(type, values, name);
  graph.add(layer, inbounds);
  return layer;
}

std::shared_ptr<Layer> conv(Graph& graph, const std::string& name, const Layers& inbounds, int32_t filters) {
  return add(graph, LayerType::Conv2D, {{"kernel_size", 1}, {"filters", filters}}, name, inbounds);
}

// A pass that is the whole model.
void build(const Layers& layers, const Placements& components) {
  LayerMappingBuilder::build_layer_mapping(layers, layers, components, kDma);
}

TEST(LayerMappingBuilder, NumbersLayersAndSortsTheirComponents) {
  Graph graph;  // input -> H (HRC) -> C1 -> T (TNP-B); M = Add(C1, T) -> C2
  const auto hrc = add(graph, LayerType::InputConv2D, {{"kernel_size", 1}, {"filters", 4}}, "H", {graph.input()});
  const auto c1 = graph.conv("C1", {hrc});
  const auto tnp = graph.temporal("T", {c1});
  const auto merge = graph.merge("M", {c1, tnp});
  const auto c2 = graph.conv("C2", {merge});
  const Layers pass = {hrc, c1, tnp, merge, c2};
  LayerMappingBuilder::map_standalone(
      pass, {{np(1, 1, hw::Type::HRC)}, {np(1, 2)}, {np(2, 1, hw::Type::TNP_B), kStore, kLoad}, {}, {np(2, 2), kLoad}},
      kDma);

  std::vector<int> ids;
  for (const auto& layer : pass) ids.push_back(record(layer).layer_id);
  EXPECT_EQ(ids, (std::vector<int>{0, 1, 3, 255, 4}));

  hw::Component hrc_endpoint;  // all-zero ident, no NP share
  hrc_endpoint.type = hw::Type::HRC;
  ASSERT_EQ(record(hrc).inputs.size(), 1u);
  EXPECT_EQ(*record(hrc).inputs[0], Components{hrc_endpoint});
  EXPECT_TRUE(is_dma_list(record(c1).outputs.at(0)));
  EXPECT_EQ(*record(tnp).nps, Components{np(2, 1, hw::Type::TNP_B)});
  EXPECT_TRUE(record(tnp).skipdma_stores == Components{kStore} && record(tnp).skipdma_loads == Components{kLoad});
  EXPECT_TRUE(record(tnp).tnp_b_fifo);
  EXPECT_FALSE(record(c2).tnp_b_fifo);  // a load, but not on a TNP-B

  EXPECT_THROW(LayerMappingBuilder::map_standalone(pass, {{}, {}}, kDma), std::invalid_argument);
}

TEST(LayerMappingBuilder, LinksProducersToConsumersWithinAPass) {
  Graph graph;
  const auto a = graph.conv("A", {graph.input()});
  const auto b = graph.conv("B", {a});
  build({a, b}, {{np(1, 1)}, {np(1, 2)}});
  EXPECT_TRUE(record(a).inputs.size() == 1 && is_dma_list(record(a).inputs[0]));
  EXPECT_EQ(record(a).outputs, Lists{record(b).nps});
  EXPECT_EQ(record(a).output_id, 2);
  EXPECT_FALSE(record(a).p2p_output);
  EXPECT_EQ(record(b).inputs, Lists{record(a).nps});
  EXPECT_TRUE(record(b).p2p_output && record(b).output_id == 255 && is_dma_list(record(b).outputs.at(0)));
}

// input -> X -> C1 -> C2; M = Add(X, C2) -> Y. Depths X 2, C1 3, C2 4, M 5, Y 6; ids 1, 2, 3,
// 255, 4. X is the shortcut (a store, index 1 as the first model layer); Y loads. Channels
// start at 5 + 1 = 6; Y's are 6 + 4 = 10 ... 13.
TEST(LayerMappingBuilder, ResidualAddLoadsTheShortcutFromItsStore) {
  Graph graph;
  const auto x = graph.conv("X", {graph.input()});
  const auto c1 = graph.conv("C1", {x});
  const auto c2 = graph.conv("C2", {c1});
  const auto merge = graph.merge("M", {x, c2});
  const auto y = graph.conv("Y", {merge});
  build({x, c1, c2, merge, y}, {{np(1, 1), kStore}, {np(1, 2)}, {np(1, 3)}, {}, {np(1, 4), kLoad}});

  EXPECT_EQ(*record(x).skip_store, (SkipDmaStoreInfo{2, 0, 1}));  // consumers 1 and 3 levels deeper
  EXPECT_EQ(record(x).outputs, Lists{record(c1).nps});

  const MergeLayerMapInfo& info = *record(y).merge_info;
  EXPECT_TRUE(info.is_add);
  EXPECT_EQ(info.channel_id, 11u);
  EXPECT_TRUE(info.not_first_in_pass);
  EXPECT_EQ(info.a_shift, merge->variables().get("b_shift"));  // the deeper branch is the second inbound
  EXPECT_EQ(info.b_shift, merge->variables().get("a_shift"));
  EXPECT_EQ(info.output_shift, merge->variables().get("output_shift"));

  EXPECT_EQ(*record(y).skip_load, (SkipDmaLoadInfo{10, 2, 1, 0}));
  EXPECT_EQ(record(y).inputs, Lists{record(c2).nps});  // the deeper side feeds it
  EXPECT_EQ(record(c2).outputs, Lists{record(y).nps});
  EXPECT_EQ(record(c2).output_id, 4);
}

// input -> X -> C1 -> C2 and X -> S; M = Add(S, C2) -> Y. X's two outbound layers are equally
// deep (3): an alternative headed by C1 (id 2) and S (id 4). S stores for M alone: index 3
// (the second model layer that stores), channels 7 + 4 = 11 ... 14, its output id the third.
TEST(LayerMappingBuilder, AlternativeBranchHeadsAndAStoreIntoAMerge) {
  Graph graph;
  const auto x = graph.conv("X", {graph.input()});
  const auto c1 = graph.conv("C1", {x});
  const auto c2 = graph.conv("C2", {c1});
  const auto s = graph.conv("S", {x});
  const auto merge = graph.merge("M", {s, c2});
  const auto y = graph.conv("Y", {merge});
  const Layers pass = {x, c1, c2, s, merge, y};
  build(pass, {{np(1, 1)}, {np(1, 2), np(1, 3)}, {np(1, 4)}, {np(2, 1), kStore}, {}, {np(2, 2), kLoad}});

  EXPECT_EQ(record(x).output_id, 2);
  EXPECT_EQ(record(x).outputs, (Lists{record(c1).nps, record(s).nps}));
  EXPECT_EQ(*record(c1).alt_info, (AltLayerMapInfo{0, 3, 0}));
  EXPECT_EQ(*record(s).alt_info, (AltLayerMapInfo{1, 3, 2}));
  EXPECT_EQ(record(s).inputs, Lists{record(x).nps});

  EXPECT_EQ(*record(s).skip_store, (SkipDmaStoreInfo{1, 1, 3}));
  EXPECT_EQ(record(s).output_id, 13);
  EXPECT_EQ(*record(y).skip_load, (SkipDmaLoadInfo{15, 1, 3, 0}));  // the load reads S's store

  EXPECT_THAT([&] { build({x, c1, c2}, {{np(1, 1)}, {np(1, 2)}, {np(1, 4)}}); },
              throws_text<std::runtime_error>(
                  "Cannot map layer 'X'. Hardware partial reconfiguration with layers on the second branch is not "
                  "supported."));
}

// input -> C -> T (TNP-B, fifo_size 2) -> D; ids 1, 3, 4; T is the second model layer.
TEST(LayerMappingBuilder, TemporalLayerReloadsItsOwnFifo) {
  Graph graph;
  const auto c = graph.conv("C", {graph.input()});
  const auto tnp = graph.temporal("T", {c});
  const auto d = graph.conv("D", {tnp});
  build({c, tnp, d}, {{np(1, 1)}, {np(1, 2, hw::Type::TNP_B), kStore, kLoad}, {np(1, 3)}});

  EXPECT_EQ(*record(tnp).skip_store, (SkipDmaStoreInfo{3, 1, 1}));
  EXPECT_EQ(*record(tnp).skip_load, (SkipDmaLoadInfo{2, 3, 1, 0}));

  ASSERT_EQ(record(c).outputs.size(), 2u);  // the TNP-B's NPs, then a copy of its load
  EXPECT_EQ(record(c).outputs[0], record(tnp).nps);
  EXPECT_EQ(*record(c).outputs[1], Components{kLoad});
  EXPECT_EQ(record(c).output_id, 3);
  EXPECT_EQ(record(d).inputs, Lists{record(tnp).nps});
}

// input -> X -> C1 -> C2; M1 = Add(X, C2) -> Y -> C3; M2 = Add(M1, C3) -> Z. Depths X 2, C1 3,
// C2 4, M1 5, Y 6, C3 7, M2 8, Z 9. M1 feeds Y and M2, so Y keeps M1's value in a second
// output. Stores counted over the model: X (first: 1), M1 (3), Y (5); Y's second output is 6,
// which Z loads. Channels from 9: + 4 for M1 and Y gives Y 17 ... 20, + 4 for Z gives 21 ... 24.
TEST(LayerMappingBuilder, DualOutputStoreFeedsTheNextMerge) {
  Graph graph;
  const auto x = graph.conv("X", {graph.input()});
  const auto c1 = graph.conv("C1", {x});
  const auto c2 = graph.conv("C2", {c1});
  const auto m1 = graph.merge("M1", {x, c2});
  const auto y = graph.conv("Y", {m1});
  const auto c3 = graph.conv("C3", {y});
  const auto m2 = graph.merge("M2", {m1, c3});
  const auto z = graph.conv("Z", {m2});
  build({x, c1, c2, m1, y, c3, m2, z},
        {{np(1, 1), kStore}, {np(1, 2)}, {np(1, 3)}, {}, {np(1, 4), kStore, kLoad}, {np(2, 1)}, {}, {np(2, 2), kLoad}});

  const LayerMapping& dual = record(y);
  EXPECT_TRUE(dual.merge_info->dual_output);
  EXPECT_EQ(dual.merge_info->dual_output_channel_id, 20);
  EXPECT_EQ(*dual.skip_store, (SkipDmaStoreInfo{0, 0, 5}));
  EXPECT_EQ(*dual.skip_store_dual, (SkipDmaStoreInfo{2, 0, 6}));  // M1's consumers lie 1 and 3 deeper
  EXPECT_EQ(dual.skipdma_store_dual_output(), &dual.skipdma_stores[0]);  // its one store serves the second output
  EXPECT_EQ(*record(z).skip_load, (SkipDmaLoadInfo{21, 2, 6, 0}));
}

// input -> X (6 channels) -> C1 -> C2 (5 channels); M = Concatenate(...) -> Y.
TEST(LayerMappingBuilder, ConcatenateOffsetsFollowTheInboundOrder) {
  for (const bool deeper_first : {false, true}) {
    SCOPED_TRACE(deeper_first ? "Concatenate(C2, X)" : "Concatenate(X, C2)");
    Graph graph;
    const auto x = conv(graph, "X", {graph.input()}, 6);
    const auto c1 = conv(graph, "C1", {x}, 4);
    const auto c2 = conv(graph, "C2", {c1}, 5);
    const auto merge = add(graph, LayerType::Concatenate, {}, "M", deeper_first ? Layers{c2, x} : Layers{x, c2});
    const auto y = conv(graph, "Y", {merge}, 4);
    build({x, c1, c2, merge, y}, {{np(1, 1), kStore}, {np(1, 2)}, {np(1, 3)}, {}, {np(1, 4), kLoad}});

    // X first: C2's output goes after X's 6 channels. C2 first: the load places X after C2's 5.
    EXPECT_EQ(record(c2).sram_output_shift, deeper_first ? std::nullopt : std::optional<uint32_t>(6));
    EXPECT_EQ(record(y).skip_load->concat_offset, deeper_first ? 5u : 0u);
    EXPECT_FALSE(record(y).merge_info->is_add || record(y).merge_info->a_shift);
  }
}

TEST(LayerMappingBuilder, NextPassContinuesFromThePreviousPassLastLayer) {
  Graph graph;  // input -> A -> B | C
  const auto a = graph.conv("A", {graph.input()});
  const auto b = graph.conv("B", {a});
  const auto c = graph.conv("C", {b});
  const Layers model = {a, b, c};
  LayerMappingBuilder::build_layer_mapping({a, b}, model, {{np(1, 1)}, {np(1, 2)}}, kDma);
  LayerMappingBuilder::build_layer_mapping({c}, model, {{np(1, 1)}}, kDma);
  EXPECT_EQ(record(c).layer_id, 1);

  LayerMappingBuilder::link_to_previous_pass(c, b);
  EXPECT_EQ(record(b).outputs, Lists{record(c).nps});
  EXPECT_EQ(record(b).output_id, 3);
  EXPECT_EQ(record(c).input_id, 3);
  ASSERT_EQ(record(c).inputs.size(), 2u);
  EXPECT_TRUE(is_dma_list(record(c).inputs[0]));
  EXPECT_EQ(record(c).inputs[1], record(b).nps);

  record(c).nps->front().mem_info.input_size = 2048;  // figures written later reach every link
  EXPECT_EQ(record(b).outputs[0]->front().mem_info.input_size, 2048u);

  EXPECT_THAT([&] { get_fifo_index(c, {a, b}); },
              throws_text<std::runtime_error>("Cannot map layer 'C'. Layer not found in the sequence."));
}

// A chain L0 ... L255 and, after it, a residual block X, C1, C2, M = Add(X, C2), Y and a TNP-B T.
TEST(LayerMappingBuilder, RefusesNumbersThatWouldWrapAByte) {
  Graph graph;
  Layers chain = {graph.conv("L0", {graph.input()})};
  for (int i = 1; i < 256; ++i) chain.push_back(graph.conv("L" + std::to_string(i), {chain.back()}));
  const auto x = graph.conv("X", {chain.back()});
  const auto c1 = graph.conv("C1", {x});
  const auto c2 = graph.conv("C2", {c1});
  const auto merge = graph.merge("M", {x, c2});
  const auto y = graph.conv("Y", {merge});
  const auto tnp = graph.temporal("T", {chain.back()});
  // The first `count` chain layers, then `tail`.
  const auto model = [&](size_t count, const Layers& tail) {
    Layers layers(chain.begin(), chain.begin() + static_cast<std::ptrdiff_t>(count));
    layers.insert(layers.end(), tail.begin(), tail.end());
    return layers;
  };
  const auto error = [](const std::string& text) { return throws_text<std::runtime_error>(text); };

  // Y's channels start past the model's layers: 244 + 5 + 1 + 4 = 254 (load), 255 (merge).
  const Layers block = {x, c1, c2, merge, y};
  const Placements block_lists = {{np(1, 1), kStore}, {np(1, 2)}, {np(1, 3)}, {}, {np(1, 4), kLoad}};
  LayerMappingBuilder::build_layer_mapping(block, model(244, block), block_lists, kDma);
  EXPECT_EQ(record(y).skip_load->channel_id, 254);
  EXPECT_EQ(record(y).merge_info->channel_id, 255u);
  EXPECT_THAT([&] { LayerMappingBuilder::build_layer_mapping(block, model(245, block), block_lists, kDma); },
              error("Cannot map layer 'Y'. DMA channel number 256 exceeds 255: the model is too large for the "
                    "hardware."));

  // A TNP-B's store index is its position in the model.
  const Placements tnp_lists = {{np(1, 1, hw::Type::TNP_B), kStore, kLoad}};
  LayerMappingBuilder::build_layer_mapping({tnp}, model(255, {tnp}), tnp_lists, kDma);
  EXPECT_EQ(record(tnp).skip_store->index, 255);
  EXPECT_THAT([&] { LayerMappingBuilder::build_layer_mapping({tnp}, model(256, {tnp}), tnp_lists, kDma); },
              error("Cannot map layer 'T'. Skip DMA store index 256 exceeds 255: the model is too large for the "
                    "hardware."));

  LayerMappingBuilder::map_standalone(model(254, {}), Placements(254, {np(1, 1)}), kDma);
  EXPECT_EQ(record(chain[253]).layer_id, 254);
  EXPECT_THAT([&] { LayerMappingBuilder::map_standalone(model(255, {}), Placements(255, {np(1, 1)}), kDma); },
              error("Cannot map layer 'L254'. Layer id 255 exceeds 254: the pass is too large for the hardware."));
}

}  // namespace
}  // namespace ornix
