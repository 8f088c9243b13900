#include <gtest/gtest.h>

#include <cstddef>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "mapping/devices.h"
#include "mapping/layer_graph_fixtures.h"
#include "mapping/mesh_mapper.h"
#include "ornix/layers/convolution_v2.h"
#include "support/fake_generation.h"
#include "support/fake_map_constraints.h"

namespace ornix::test {
namespace {

using hw::Ident;
using hw::Type;
using Idents = std::vector<Ident>;
using Components = std::vector<hw::Component>;

Ident cnp(uint8_t col) { return {col, 1, 0, 0}; }
Ident tnp_b(uint8_t col) { return {col, 2, 0, 0}; }
constexpr Ident kChannel0{9, 1, 0, 0}, kChannel1{9, 1, 0, 1};  // of the one skip-DMA engine

// The pool of a v2 device with CNPs cnp(1..cnps), TNP-Bs tnp_b(1..tnp_bs), one FNP3 when asked,
// and a two-channel skip-DMA engine. The checker fits everything; a convolution is split by
// its "filters" and the constraints' filter limit.
struct Placement {
  explicit Placement(uint8_t cnps, uint8_t tnp_bs = 0, bool fnp3 = false)
      : device(std::make_shared<FakeMeshDevice>(kD3_A2_01_00, Mesh(IpVersion::v2, {}, {}, std::nullopt, {}, {}))),
        constraints(device),
        checker(*device, table, {}, std::make_shared<EventLog>(), "v2"),
        mapper(checker, constraints) {
    Mesh& mesh = device->editable_mesh();
    for (uint8_t col = 1; col <= cnps; ++col) mesh.nps.push_back({cnp(col), {Type::CNP1}, false});
    for (uint8_t col = 1; col <= tnp_bs; ++col) mesh.nps.push_back({tnp_b(col), {Type::TNP_B}, false});
    if (fnp3) mesh.nps.push_back({cnp(cnps + 1), {Type::CNP1, Type::FNP3}, false});
    mesh.skip_dmas.push_back({{9, 1, 0, 2}, {Type::SKIP_DMA_STORE, Type::SKIP_DMA_LOAD}, false});
    checker.behaviour.split_params = [](Type, const LayerParams& params) {
      const int32_t filters = params.has("filters") ? params.get("filters") : 0;
      return NpSplitParams{0, 0, 0, 0, 0, 0, 0, static_cast<uint32_t>(filters)};
    };
    mapper.reset();
  }

  PlacementResult place(const std::shared_ptr<Layer>& layer, bool allow_new_pass, const Idents& reserved = {}) {
    return mapper.map_layer(layer, reserved, false, &new_pass, allow_new_pass, layers);
  }
  std::shared_ptr<Layer> conv(const std::string& name, int32_t filters) {
    auto layer = make_layer(LayerType::Conv2D, {{"kernel_size", 1}, {"filters", filters}}, name);
    graph.add(layer, {graph.input()});
    return layer;
  }

  std::shared_ptr<FakeMeshDevice> device;
  HookedMapConstraints constraints;
  HardwareConstraints table;
  FakeChecker checker;
  MeshMapper mapper;
  Layers layers;         // the model's layers, where merges matter
  bool new_pass = true;  // map_layer clears it
  Graph graph;           // 4x4x4 layers
};

Idents idents_of(const Components& components, Type type) {
  Idents idents;
  for (const hw::Component& component : components) {
    if (component.type == type) idents.push_back(component.ident);
  }
  return idents;
}

// A convolution the engine would never make: no component kind serves it.
class UnservedConv final : public Conv2D {
 public:
  using Conv2D::Conv2D;
  bool is_target_component(ComponentKind) const override { return false; }
};

TEST(LayerPlacement, FullyConnectedLayerTakesOneWholeFnp3) {
  Placement p(1, 0, true);
  const auto [components, status] = p.place(p.graph.dense("dense", {p.graph.input()}), false);
  const NpSpace whole{0, 0, Shape{4, 4, 4}};
  EXPECT_EQ(components, (Components{{Type::FNP3, cnp(2), NpAllocation{0, 4, whole, whole, true}, {}}}));
  EXPECT_TRUE(status.success());
  EXPECT_FALSE(p.new_pass);
  EXPECT_TRUE(p.mapper.available_nps(Type::FNP3).empty());
  EXPECT_EQ(p.mapper.available_nps(Type::CNP1), (Idents{cnp(1)}));  // taken in every list
}

TEST(LayerPlacement, LayerWithoutComponentIsRefusedAfterItsAnnouncement) {
  Placement p(2);
  const auto params = LayerParams::create(LayerType::Conv2D, {{"kernel_size", 1}, {"filters", 4}});
  const std::shared_ptr<Layer> unserved = std::make_shared<UnservedConv>(*params, "odd");
  p.graph.add(unserved, {p.graph.input()});
  for (const auto& layer : {make_layer(LayerType::InputConv2D, {}, "hrc"), make_layer(LayerType::Add, {}, "add"),
                            p.graph.dense("dense", {p.graph.input()}), unserved}) {  // no FNP on the mesh
    const auto [components, status] = p.place(layer, true);
    EXPECT_TRUE(components.empty());
    EXPECT_EQ(status.message(), "No hardware component is available.");
    EXPECT_EQ(status.layer_name(), layer->name());
  }
  EXPECT_EQ(p.constraints.announced, (std::vector<std::string>{"hrc", "add", "dense", "odd"}));
}

TEST(LayerPlacement, NeedBeyondTheFreeNpsOpensAPassOnlyWhenAllowed) {
  Placement p(9);
  p.constraints.set_cnp_max_filters(1);
  const auto conv = p.conv("conv", 4);  // four NPs
  const Idents reserved{cnp(1)};        // eight usable, of which cnp(7..9) are free
  for (uint8_t col = 2; col <= 6; ++col) p.mapper.allocate_np(cnp(col), Type::None);

  const auto [refused, error] = p.place(conv, false, reserved);
  EXPECT_EQ(error.message(), "Not enough hardware component of type CNP1 available. 4 are needed but 3 are available.");
  EXPECT_FALSE(p.new_pass);

  const auto [placed, status] = p.place(conv, true, reserved);
  EXPECT_TRUE(status.success() && p.new_pass);
  EXPECT_EQ(idents_of(placed, Type::CNP1), (Idents{cnp(2), cnp(3), cnp(4), cnp(5)}));
  EXPECT_EQ(p.mapper.available_nps(Type::CNP1), (Idents{cnp(6), cnp(7), cnp(8), cnp(9)}));

  const auto [too_wide, too_many] = p.place(p.conv("wide", 9), true, reserved);
  EXPECT_EQ(too_many.message(),
            "Not enough hardware component of type CNP1 available. 9 are needed but 8 are available.");
}

TEST(LayerPlacement, SelectNpsChoosesAmongTheFreeNpsAfterTheLimitsMayChange) {
  Placement p(4);
  p.constraints.on_next_layer = [&p](const std::string&) { p.constraints.set_cnp_max_filters(2); };
  const auto conv = p.conv("conv", 4);  // two NPs under the limit set on announcement
  Idents offered;
  p.constraints.on_select = [&offered](const Idents& source, size_t count, Type) {
    offered = source;
    return Idents(source.rbegin(), source.rbegin() + static_cast<std::ptrdiff_t>(count));
  };
  const auto [placed, status] = p.place(conv, false, {cnp(2)});
  EXPECT_EQ(offered, (Idents{cnp(1), cnp(3), cnp(4)}));
  EXPECT_EQ(idents_of(placed, Type::CNP1), (Idents{cnp(4), cnp(3)}));

  p.constraints.on_select = [](const Idents& source, size_t, Type) { return Idents{source.front()}; };
  const auto [short_of, error] = p.place(conv, false);
  EXPECT_EQ(error.message(), "Not enough hardware component of type CNP1 available. 2 are needed but 1 are available.");
  EXPECT_EQ(idents_of(short_of, Type::CNP1), (Idents{{}, {}}));
  EXPECT_EQ(p.mapper.available_nps(Type::CNP1), (Idents{cnp(1), cnp(2)}));
}

TEST(LayerPlacement, CnpBeforeATnpBMovesToANewPassWhenTheTnpBWouldNotFit) {
  // conv -> tnp, one NP each at most 2 filters: 2 NPs each. cnp(1) and tnp_b(1) are taken.
  const auto scene = [](Placement& p) {
    p.constraints.set_cnp_max_filters(2);
    const auto conv = p.graph.conv("conv", {p.graph.input()});
    p.graph.temporal("tnp", {conv});
    p.mapper.allocate_np(cnp(1), Type::None);
    p.mapper.allocate_np(tnp_b(1), Type::None);
    return conv;
  };
  Placement stay(3, 2);
  const auto [kept, error] = stay.place(scene(stay), false);
  EXPECT_EQ(error.message(), "The next BufferTempConv tnp can't be mapped in the current pass.");
  EXPECT_FALSE(stay.new_pass);

  Placement move(3, 2);
  const auto [moved, status] = move.place(scene(move), true);
  EXPECT_TRUE(status.success() && move.new_pass);
  EXPECT_EQ(idents_of(moved, Type::CNP1), (Idents{cnp(1), cnp(2)}));  // chosen again in the fresh pass
  EXPECT_EQ(move.mapper.available_nps(Type::TNP_B), (Idents{tnp_b(1), tnp_b(2)}));

  Placement reserved(3, 2);  // a TNP-B the CNP layer keeps away from itself is left to its successor
  const auto conv = scene(reserved);
  reserved.mapper.deallocate_nps();
  EXPECT_TRUE(std::get<1>(reserved.place(conv, false, {tnp_b(2)})).success());
}

TEST(LayerPlacement, TnpBLayerTakesItsSkipDmaChannelsButNeverOpensAPass) {
  Placement p(1, 2);
  p.constraints.set_cnp_max_filters(2);
  const auto tnp = p.graph.temporal("tnp", {p.graph.conv("conv", {p.graph.input()})});
  p.mapper.allocate_np(cnp(1), Type::None);
  p.mapper.allocate_np(tnp_b(1), Type::None);
  const auto [refused, error] = p.place(tnp, true);
  EXPECT_EQ(error.message(), "A TNP-B layer cannot be the first layer of a pass.");
  EXPECT_TRUE(p.new_pass);
  EXPECT_EQ(p.mapper.available_nps(Type::CNP1), (Idents{cnp(1)}));  // released

  const auto [placed, status] = p.place(tnp, false);
  EXPECT_EQ(idents_of(placed, Type::TNP_B), (Idents{tnp_b(1), tnp_b(2)}));
  // Store and load share a channel, each taken in its own direction only.
  EXPECT_EQ(idents_of(placed, Type::SKIP_DMA_STORE), (Idents{kChannel0}));
  EXPECT_EQ(idents_of(placed, Type::SKIP_DMA_LOAD), (Idents{kChannel0}));
  EXPECT_EQ(p.mapper.available_nps(Type::SKIP_DMA_LOAD), (Idents{kChannel1}));
}

TEST(LayerPlacement, SkipLayerWithADualOutputIsRefused) {
  Placement p(4);
  Graph& g = p.graph;
  const auto a = g.conv("a", {g.input()});
  const auto m1 = g.merge("m1", {a, g.conv("b", {a})});
  const auto c = g.conv("c", {m1});
  g.conv("e", {m1});                                      // m1 feeds two layers: c has a dual output
  const auto m2 = g.merge("m2", {c, g.conv("d", {c})});  // c is also m2's skip layer
  p.layers = {g.input(), a, m1, c, m2};

  const auto [components, status] = p.place(c, true);
  const hw::Component store{Type::SKIP_DMA_STORE, {}, std::nullopt, {}};
  const hw::Component load{Type::SKIP_DMA_LOAD, {}, std::nullopt, {}};
  EXPECT_EQ(Components(components.begin() + 1, components.end()), (Components{store, store, load}));
  EXPECT_EQ(status.message(),
            "A layer which outputs directly to one skip dma and another skipdma via dual outputs is not supported.");
}

}  // namespace
}  // namespace ornix::test
