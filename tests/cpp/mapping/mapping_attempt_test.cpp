#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/error_text.h"
#include "engine/layer_fixtures.h"
#include "mapping/devices.h"
#include "mapping/ip_version_specific_hardware_backend.h"
#include "mapping/layer_graph_fixtures.h"
#include "mapping/layer_mapping.h"
#include "mapping/mapping_attempt.h"
#include "mapping/memory_figures.h"
#include "support/fake_generation.h"
#include "support/fake_map_constraints.h"
#include "support/fake_mapping.h"

namespace ornix::test {
namespace {

using hw::Ident;
using hw::Type;
using Sequences = std::vector<std::shared_ptr<Sequence>>;

Ident cnp(uint8_t col) { return {col, 1, 0, 0}; }

std::vector<Ident> idents_of(const std::vector<hw::Component>& components) {
  std::vector<Ident> idents;
  for (const hw::Component& component : components) idents.push_back(component.ident);
  return idents;
}

// Attempts on a generation-2 device over a hand-built mesh with fake strategies that accept
// every layer and split a convolution by its "filters" alone (one NP for the 4-filter layers of
// the graph). Checker answers can be scripted per layer name.
class MappingAttempt : public ::testing::Test {
 protected:
  MappingAttempt() {
    generation.checker.split_params = [](Type, const LayerParams& params) {
      const int32_t filters = params.has("filters") ? params.get("filters") : 0;
      return NpSplitParams{0, 0, 0, 0, 0, 0, 0, static_cast<uint32_t>(filters)};
    };
    generation.checker.compatibility = [this](const Layer& layer, const Layer* inbound) {
      seen_inbounds.push_back(layer.name() + "<" + (inbound ? inbound->name() : "null"));
      return failure_or_success(incompatible, layer);
    };
    generation.checker.mappings = [this](const Layer& layer, const std::vector<hw::Component>&) {
      return failure_or_success(misplaced, layer);
    };
    using Position = CompatibilityChecker::LayerIterator;
    generation.checker.sequence = [this](Position, Position last) {
      return failure_or_success(breaks_sequence, **(last - 1));
    };
  }

  // `cnps` CNPs cnp(1..cnps), a two-channel skip-DMA engine, the mesh's DMA endpoint, an HRC
  // when asked.
  void make_device(uint8_t cnps, bool with_hrc = true) {
    const std::optional<np::Info> hrc =
        with_hrc ? std::optional<np::Info>(np::Info{{}, {Type::HRC}, false}) : std::nullopt;
    device = std::make_shared<FakeMeshDevice>(kD3_A2_01_00, Mesh(IpVersion::v2, {0, 0, 7, 0}, {}, hrc, {}, {}));
    for (uint8_t col = 1; col <= cnps; ++col) device->editable_mesh().nps.push_back({cnp(col), {Type::CNP1}, false});
    device->editable_mesh().skip_dmas = {{{9, 1, 0, 2}, {Type::SKIP_DMA_STORE, Type::SKIP_DMA_LOAD}, false}};
    constraints = std::make_shared<HookedMapConstraints>(device);
  }

  MappingStatus run(bool whole_model, bool retry = false) {
    const GenerationFactories factories{&generation, &generation};
    backend = std::make_unique<IpVersionSpecificHardwareBackend>(*device, factories);
    return map_layers_to_sequences(backend->constraints, constraints, *backend, &layers, &sequences, whole_model,
                                   retry);
  }
  const FakeIoRecorder& io() const { return dynamic_cast<const FakeIoRecorder&>(*backend->io_recorder); }
  std::shared_ptr<Sequence> only_sequence() const { return sequences.size() == 1 ? sequences[0] : nullptr; }
  // The layers of each pass of the only sequence; nothing when there is not exactly one.
  std::vector<Layers> passes() const {
    std::vector<Layers> layers_of;
    if (only_sequence()) {
      for (const auto& pass : only_sequence()->passes()) layers_of.push_back(pass->layers);
    }
    return layers_of;
  }

  static LayerMappingStatus failure_or_success(const std::map<std::string, std::string>& failures,
                                               const Layer& layer) {
    const auto found = failures.find(layer.name());
    return found == failures.end() ? LayerMappingStatus(layer) : LayerMappingError(layer, found->second);
  }

  FakeGeneration generation{"v2"};
  std::shared_ptr<FakeMeshDevice> device;
  std::shared_ptr<HookedMapConstraints> constraints;
  std::unique_ptr<IpVersionSpecificHardwareBackend> backend;
  Graph graph;
  Layers layers;
  Sequences sequences;
  // Failure messages by layer name.
  std::map<std::string, std::string> incompatible, misplaced, breaks_sequence;
  std::vector<std::string> seen_inbounds;  // "layer<inbound"
};

TEST_F(MappingAttempt, PrefixRunEndsAtAFailedPlacementCheck) {
  make_device(4);
  const auto a = graph.conv("A", {graph.input()});
  const auto b = graph.conv("B", {a});
  const auto d = graph.conv("D", {b});
  layers = {a, b, d};
  misplaced = {{"B", "bad window"}};

  EXPECT_EQ(run(false), MappingStatus(StatusCode::Error, "Cannot map layer 'B'. bad window"));
  EXPECT_EQ(layers, (Layers{b, d}));
  ASSERT_NE(only_sequence(), nullptr);
  EXPECT_EQ(only_sequence()->name(), "HW/A");
  // The attempt's first layer is checked without its inbound layer, the next with its own.
  EXPECT_EQ(seen_inbounds, (std::vector<std::string>{"A<null", "B<A"}));
}

TEST_F(MappingAttempt, PrefixRunHoldsBackLayersThatBreakTheSequenceRules) {
  make_device(4);
  const auto a = graph.conv("A", {graph.input()});
  const auto b = graph.conv("B", {a});
  const auto c = graph.conv("C", {b});

  // B may not end a run, C mends it: all three in one pass.
  layers = {a, b, c};
  breaks_sequence = {{"B", "m1"}};
  EXPECT_EQ(run(false), MappingStatus(StatusCode::Success, "Success."));
  EXPECT_EQ(passes(), (std::vector<Layers>{{a, b, c}}));

  // Held back to the end: the run before them is built; the first held layer is named with
  // every held reason.
  layers = {a, b, c};
  sequences.clear();
  breaks_sequence = {{"B", "m1"}, {"C", "m2"}};
  EXPECT_EQ(run(false).message(), "Cannot map layer 'B'. \n  * Layer 'B': m1\n  * Layer 'C': m2");
  EXPECT_EQ(passes(), (std::vector<Layers>{{a}}));
  EXPECT_EQ(layers, (Layers{b, c}));
}

// A generation without its own growing check is asked its whole-run rules at every layer: over
// the run from the attempt's first layer to that layer, once per layer.
TEST_F(MappingAttempt, PrefixRunAsksTheRulesOverTheRunSoFar) {
  make_device(4);
  const auto a = graph.conv("A", {graph.input()});
  const auto b = graph.conv("B", {a});
  const auto c = graph.conv("C", {b});
  std::vector<std::string> runs;
  generation.checker.sequence = [&](CompatibilityChecker::LayerIterator first, CompatibilityChecker::LayerIterator last) {
    std::string names;
    for (auto layer = first; layer != last; ++layer) names += (*layer)->name();
    runs.push_back(names);
    return LayerMappingStatus("");
  };
  layers = {b, c};
  EXPECT_TRUE(run(false).success());
  layers = {a, b, c};
  EXPECT_TRUE(run(false).success());
  EXPECT_EQ(runs, (std::vector<std::string>{"B", "BC", "A", "AB", "ABC"}));
}

TEST_F(MappingAttempt, WholeModelCutsPassesAndBuildsOnlyWhenEveryLayerFits) {
  // Two CNPs and a layer never reusing the NPs of the one before it: C needs the NP A holds.
  make_device(2);
  const auto a = graph.conv("A", {graph.input()});
  const auto b = graph.conv("B", {a});
  const auto c = graph.conv("C", {b});
  const auto d = graph.conv("D", {c});

  layers = {a, b, c, d};
  incompatible = {{"D", "too large"}};
  EXPECT_EQ(run(true).message(), "Cannot map layer 'D'. too large");
  EXPECT_EQ(layers, (Layers{a, b, c, d}));
  EXPECT_TRUE(io().scc_calls.empty());  // no build was started

  incompatible.clear();
  EXPECT_TRUE(run(true).success());
  EXPECT_TRUE(layers.empty());
  EXPECT_EQ(passes(), (std::vector<Layers>{{a, b}, {c, d}}));
  EXPECT_EQ(idents_of(*record_of(*c).nps), std::vector<Ident>{cnp(1)});
}

TEST_F(MappingAttempt, FirstLayerOnNpsNeverCutsAPass) {
  // conv -> tnp. X offers CNP1 and TNP_B, Y only CNP1. conv first takes X, which leaves its
  // TNP-B successor no NP: the mapper frees the pool and places conv again, on Y.
  make_device(0);
  const Ident x = cnp(1), y = cnp(2);
  device->editable_mesh().nps = {{x, {Type::CNP1, Type::TNP_B}, false}, {y, {Type::CNP1}, false}};
  int cnp_choices = 0;
  constraints->on_select = [&](const std::vector<Ident>& source, size_t count, Type type) {
    if (type == Type::CNP1 && ++cnp_choices > 1) return std::vector<Ident>{y};
    return std::vector<Ident>(source.begin(), source.begin() + static_cast<std::ptrdiff_t>(count));
  };
  const auto conv = graph.conv("conv", {graph.input()});
  const auto tnp = graph.temporal("tnp", {conv});
  layers = {conv, tnp};

  EXPECT_TRUE(run(true).success());
  EXPECT_EQ(passes(), (std::vector<Layers>{{conv, tnp}}));
  EXPECT_EQ(idents_of(*record_of(*conv).nps), std::vector<Ident>{y});
  EXPECT_EQ(idents_of(*record_of(*tnp).nps), std::vector<Ident>{x});
}

TEST_F(MappingAttempt, LayersWithoutNps) {
  make_device(4);
  // A Dequantizer gets no component and stays a layer of its pass.
  const auto a = graph.conv("A", {graph.input()});
  const auto dq = make_layer(LayerType::Dequantizer, {}, "dq");
  graph.add(dq, {a});
  dq->variables().set("scales", Dense::create(TensorType::float32, Shape{4}));
  layers = {a, dq};
  ASSERT_TRUE(run(false).success());
  EXPECT_EQ(passes(), (std::vector<Layers>{{a, dq}}));

  // A merge layer that ends the run is erased from the list with the run, yet no pass holds
  // it: the builder keeps it for a next pass that this attempt never adds.
  const auto b = graph.conv("B", {a});
  const auto m = graph.merge("M", {a, b});
  layers = {a, b, m};
  sequences.clear();
  EXPECT_TRUE(run(false).success());
  EXPECT_TRUE(layers.empty());
  EXPECT_EQ(passes(), (std::vector<Layers>{{a, b}}));
  EXPECT_EQ(m->mapping(), nullptr);
}

TEST_F(MappingAttempt, HrcLayerWithoutAnHrcStopsAtOnce) {
  make_device(4, false);
  const auto a = graph.conv("A", {graph.input()});
  const auto h = make_layer(LayerType::InputConv2D, {{"kernel_size", 1}, {"filters", 4}}, "h");
  graph.add(h, {a});
  layers = {a, h};
  EXPECT_EQ(run(false), MappingStatus(StatusCode::Error,
                                      "Cannot map layer 'h'. Layer should be mapped on HRC but the device does not "
                                      "have this hardware component."));
  EXPECT_TRUE(sequences.empty());
}

TEST_F(MappingAttempt, SizerErrorLeavesTheLayersErasedAndNoSequence) {
  make_device(4);
  generation.memory_sizer_fails = true;
  layers = {graph.conv("A", {graph.input()})};
  EXPECT_EQ(error_text([&] { run(false); }), "sizer failed");
  EXPECT_TRUE(layers.empty());
  EXPECT_TRUE(sequences.empty());
}

TEST(LayerReservedNps, FnpLayersAvoidUsedFnp2sAndWholeModelLayersTheirPredecessor) {
  Graph graph;
  const auto conv = graph.conv("conv", {graph.input()});
  const auto dense = graph.dense("dense", {graph.input()});
  const std::vector<Ident> fnp2s{{5, 1, 0, 0}};
  const hw::Component store{Type::SKIP_DMA_STORE, {9, 1, 0, 1}, std::nullopt, {}};
  const std::vector<std::vector<hw::Component>> placed{{{Type::CNP1, cnp(1), std::nullopt, {}}},
                                                       {{Type::CNP1, cnp(2), std::nullopt, {}}, store},
                                                       {}};
  EXPECT_EQ(layer_reserved_nps(fnp2s, dense, placed, false, false), fnp2s);
  // The last layer that holds components, skip-DMA channels excepted; never with loop-itself.
  EXPECT_EQ(layer_reserved_nps(fnp2s, dense, placed, true, false), (std::vector<Ident>{fnp2s[0], cnp(2)}));
  EXPECT_TRUE(layer_reserved_nps(fnp2s, conv, placed, true, true).empty());
}

TEST(MemoryFigures, EveryNpAndStoreOfEveryPassGetsTheSizersFigures) {
  Graph graph;
  const auto a = graph.conv("a", {graph.input()});
  const auto b = graph.conv("b", {a});
  const hw::Component np{Type::CNP1, cnp(1), std::nullopt, {}};
  const hw::Component store{Type::SKIP_DMA_STORE, {9, 1, 0, 0}, std::nullopt, {}};
  auto first = LayerMapping::create(), second = LayerMapping::create();
  *first->nps = {np};
  first->skipdma_loads = {{Type::SKIP_DMA_LOAD, {9, 1, 0, 1}, std::nullopt, {}}};
  second->skipdma_stores = {store, store};  // a dual-output layer: the second is its second output's
  second->merge_info = std::make_unique<MergeLayerMapInfo>();
  second->merge_info->dual_output = true;
  a->set_mapping(first);
  b->set_mapping(second);
  FakeSequence sequence("HW/a-b", {a}, nullptr);
  sequence.add_pass({b});

  const FakeMemorySizer sizer(10, false, std::make_shared<EventLog>(), "v2");
  fill_memory_figures(sequence, sizer);
  // Input 10, weight 20, external 30 + 2 for several passes, + 1 for a dual-output store.
  EXPECT_EQ(first->nps->at(0).mem_info, (MemoryInfo{10, 20, 32}));
  EXPECT_EQ(first->skipdma_loads[0].mem_info, MemoryInfo{});  // loads get none
  EXPECT_EQ(second->skipdma_stores[0].mem_info, (MemoryInfo{10, 20, 32}));
  EXPECT_EQ(second->skipdma_stores[1].mem_info, (MemoryInfo{10, 20, 33}));
  EXPECT_EQ(sizer.inputs_seen, (std::vector<const Layer*>(3, a.get())));
}

}  // namespace
}  // namespace ornix::test
