#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "engine/error_text.h"
#include "engine/layer_fixtures.h"
#include "mapping/layer_graph_fixtures.h"
#include "mapping/layer_mapping.h"
#include "program/hardware_sequence_builder.h"
#include "program/pass_components.h"
#include "program/sequence_facts.h"
#include "program/serializer_fixture.h"
#include "support/fake_mesh_device.h"

namespace ornix::test {
namespace {

// An NP computing a share, double-buffered until the builder says otherwise.
hw::Component np(uint8_t col) {
  NpAllocation share;
  share.single_buffer = false;
  return {hw::Type::CNP1, {col, 1, 0, 0}, share, {}};
}
bool single_buffered(const Layer& layer, size_t i) {
  return ornix::record_of(layer).nps->at(i).allocation->single_buffer;
}

template <typename T>
std::shared_ptr<Dense> tensor(TensorType type, const std::vector<T>& values) {
  return Dense::copy(values.data(), values.size() * sizeof(T), type, Shape{static_cast<uint32_t>(values.size())});
}

Blob blob_of(const HardwareSequenceBuilder::Build& build) {
  const Sequence::Bytes program = build.second->program();
  return Blob(std::vector<uint8_t>(program.data, program.data + program.size));
}

// Builders over fake recorders: a layer's record holds `tracks[name]` one-word tracks (an
// idle-NP program none); every record_layer call is kept.
class BuilderTest : public ::testing::Test {
 protected:
  BuilderTest() {
    recorder.layer_program = [this](const RecordLayerCall& call) {
      calls.push_back(call);
      return test::record_of(Tracks(call.registers_only ? 0 : tracks[call.layer->name()], {7}));
    };
  }
  using Tracks = std::vector<std::vector<uint32_t>>;

  std::unique_ptr<HardwareSequenceBuilder> make_builder() {
    return std::make_unique<HardwareSequenceBuilder>(device, table, io, recorder);
  }
  // One pass per layer of `chain`, pass i on NP column i + 1.
  HardwareSequenceBuilder::Build build_chain(const Layers& chain) {
    auto builder = make_builder();
    for (size_t i = 0; i < chain.size(); ++i) builder->add_layers({chain[i]}, chain, {{np(uint8_t(i + 1))}});
    return builder->build_sequence();
  }

  std::shared_ptr<FakeMeshDevice> device =
      std::make_shared<FakeMeshDevice>(kDevice, Mesh(IpVersion::v2, {0, 0, 7, 0}, {}, std::nullopt, {}, {}));
  HardwareConstraints table{};
  std::shared_ptr<EventLog> log = std::make_shared<EventLog>();
  FakeIoRecorder io{*device, log, "v2"};
  FakeLayerRecorder recorder{*device, table, log, "v2"};
  std::map<std::string, size_t> tracks;
  std::vector<RecordLayerCall> calls;
  Graph graph;
  const std::shared_ptr<Layer> a = graph.conv("a", {graph.input()});
  const std::shared_ptr<Layer> b = graph.conv("b", {a});
  const std::shared_ptr<Layer> c = graph.conv("c", {b});
};

TEST_F(BuilderTest, OnePassSequence) {
  tracks = {{"a", 2}, {"b", 3}};
  auto builder = make_builder();
  builder->add_layers({a, b}, {a, b}, {{np(3), np(6)}, {np(5)}});
  const auto build = builder->build_sequence();

  ASSERT_TRUE(build.first.success());
  EXPECT_EQ(build.second->name(), "HW/a-b");
  ASSERT_EQ(calls.size(), 2u);  // no idle-NP program
  EXPECT_EQ(calls[1].first_layer, a.get());
  EXPECT_FALSE(calls[1].next_pass_layer || calls[1].opens_pass || calls[1].ends_pass || calls[1].registers_only);
  // EPG over the entry layer's columns 3 to 6, in a single pass.
  ASSERT_EQ(io.epg_calls.size(), 1u);
  EXPECT_EQ(std::tuple(io.epg_calls[0].layer, io.epg_calls[0].col_low, io.epg_calls[0].col_high,
                       io.epg_calls[0].several_passes),
            std::tuple(a.get(), 3, 6, false));
  // 1 + (1 SCC track + 5 layer tracks) descriptors; the dummy header stays two zero words.
  const Blob blob = blob_of(build);
  EXPECT_EQ(blob.info->descriptors_per_pass(), 7);
  EXPECT_EQ(blob.data->dummy_header()->word0() | blob.data->dummy_header()->word1(), 0u);
  EXPECT_FALSE(single_buffered(*a, 0));
  EXPECT_TRUE(builder->layers().empty() && builder->passes().empty());
}

TEST_F(BuilderTest, DescriptorBudget) {
  // Pass 0 holds the SCC track and 84 of a's: 3 x (85 + 1) = 258 descriptors.
  tracks = {{"a", 84}, {"b", 10}, {"c", 10}};
  auto builder = make_builder();
  for (const auto& layer : {a, b, c}) builder->add_layers({layer}, {a, b, c}, {{np(1)}});
  const auto refused = builder->build_sequence();
  EXPECT_EQ(refused.first, MappingStatus(StatusCode::Error, "The maximum number of descriptors is more than allowed."));
  EXPECT_TRUE(refused.second == nullptr && builder->layers().empty() && builder->passes().empty());

  // 3 x (84 + 1) = 255 fits; several passes record the dummy descriptor header.
  tracks["a"] = 83;
  calls.clear();
  const auto fits = build_chain({a, b, c});
  ASSERT_TRUE(fits.first.success());
  const Blob blob = blob_of(fits);
  EXPECT_EQ(blob.info->descriptors_per_pass(), 85);
  EXPECT_EQ(blob.data->dummy_header()->word1(), 0x00280000u);
  // a, idle NPs of pass 0 (programmed with b), b, idle NPs of pass 1 (with c), c.
  ASSERT_EQ(calls.size(), 5u);
  EXPECT_TRUE(calls[0].ends_pass && !calls[0].opens_pass && calls[0].next_pass_layer == b);
  EXPECT_TRUE(calls[1].layer == b.get() && calls[1].registers_only);
  EXPECT_EQ(calls[1].idle_nps, std::vector<hw::Ident>{np(1).ident});
  EXPECT_TRUE(calls[2].opens_pass && calls[2].ends_pass);
  EXPECT_TRUE(calls[4].opens_pass && !calls[4].ends_pass);

  // Counts are not cut to 8 bits: 255 tracks in one pass need 256 descriptors, past a byte.
  tracks = {{"a", 254}};
  EXPECT_EQ(build_chain({a}).first.message(), "The maximum number of descriptors is more than allowed.");
  tracks = {{"a", 253}};
  EXPECT_EQ(blob_of(build_chain({a})).info->descriptors_per_pass(), 255);
}

// A pass that breaks the budget on its own ends the build: the refusal is the same, and the
// layers of the passes after it are never recorded.
TEST_F(BuilderTest, APassOverTheBudgetEndsTheBuildBeforeTheLaterPasses) {
  const struct {
    size_t a_tracks;
    size_t recorded;  // record_layer calls
    bool built;
  } cases[] = {
      {84, 1, false},  // 3 x (1 + 84 + 1) = 258 once a is recorded
      {83, 5, true},   // 3 x 85 = 255: every pass is recorded
  };
  for (const auto& row : cases) {
    tracks = {{"a", row.a_tracks}, {"b", 1}, {"c", 1}};
    calls.clear();
    const auto build = build_chain({a, b, c});
    EXPECT_EQ(build.first.success(), row.built) << row.a_tracks;
    EXPECT_EQ(calls.size(), row.recorded) << row.a_tracks;
  }
}

TEST_F(BuilderTest, MergeEndingAPassOpensTheNext) {
  const auto x = graph.conv("x", {graph.input()});
  const auto y = graph.conv("y", {x});
  const auto m = graph.merge("m", {x, y});
  const auto after = graph.conv("after", {m});
  const Layers model{x, y, m, after};
  auto builder = make_builder();

  builder->add_layers({x, y, m}, model, {{np(1)}, {np(2)}, {np(9)}});
  EXPECT_EQ(builder->layers(), (Layers{x, y}));
  EXPECT_EQ(builder->pending()->layer, m);
  builder->add_layers({after}, model, {{np(3)}});
  EXPECT_EQ(builder->layers(), (Layers{x, y, m, after}));
  EXPECT_EQ(builder->passes().at(1)->layers, (Layers{m, after}));
  EXPECT_FALSE(builder->pending().has_value());
  // The merge layer is mapped, with its components, in the pass that continues from y.
  EXPECT_EQ(*ornix::record_of(*m).nps, std::vector<hw::Component>{np(9)});
  EXPECT_EQ(ornix::record_of(*after).input_id, ornix::record_of(*y).layer_id + 1);

  // A pass of nothing but the merge layer ending it is refused.
  EXPECT_EQ(error_text([&] { make_builder()->add_layers({m}, model, {{}}); }),
            "A pass needs a layer besides a merge layer that ends it.");
}

TEST_F(BuilderTest, HrcInputsFlatInputsAndColumnRanges) {
  auto model = model_with_input(8, 6, 3);
  const auto h = add_layer(*model, LayerType::InputConv2D, {{"kernel_size", 3}, {"filters", 4}}, "h");
  const auto c1 = add_layer(*model, LayerType::Conv2D, {{"kernel_size", 1}, {"filters", 4}}, "c1");
  const auto c2 = add_layer(*model, LayerType::Conv2D, {{"kernel_size", 1}, {"filters", 4}}, "c2");
  const auto d = add_layer(*model, LayerType::Dequantizer, {}, "d");
  const hw::Component hrc{hw::Type::HRC, {}, std::nullopt, {}};

  // A lone HRC layer: its convolution's output height 4 and width 6 as input parameters.
  const SequenceFacts lone = sequence_facts({h}, io);
  EXPECT_TRUE(lone.hrc_input && lone.hrc_only);
  EXPECT_EQ(std::pair(lone.input_param_1, lone.input_param_0), std::pair(4u, 6u));

  // Behind an HRC entry the next layer's columns count; a pass whose entry has no component
  // (a Dequantizer) is left out. Output type 3 records no EPG values.
  auto builder = make_builder();
  builder->add_layers({h, c1}, {h, c1, c2, d}, {{hrc}, {np(4), np(2)}});
  builder->add_layers({c2}, {h, c1, c2, d}, {{np(7)}});
  builder->add_layers({d}, {h, c1, c2, d}, {{}});
  EXPECT_EQ(sequence_column_range(builder->passes()), (ColumnRange{2, 7}));
  io.output_type = 3;
  EXPECT_TRUE(builder->build_sequence().first.success());
  EXPECT_TRUE(io.epg_calls.empty());

  // A Dense1D first layer takes its (4, 4, 8) input as one vector.
  auto flat = model_with_input(4, 4, 8);
  const auto dense = add_layer(*flat, LayerType::Dense1D, {{"units", 4}}, "dense");
  EXPECT_EQ(sequence_facts({dense}, io).input_shape, (Shape{1, 1, 128}));
}

TEST_F(BuilderTest, NpSharedAcrossAPassBoundaryIsDoubleBuffered) {
  auto builder = make_builder();
  builder->add_layers({a, b}, {a, b, c}, {{np(1), np(4)}, {np(2), np(3)}});
  builder->add_layers({c}, {a, b, c}, {{np(3), np(5)}});
  ASSERT_TRUE(builder->build_sequence().first.success());

  // b ends pass 0 and c starts pass 1 on NP column 3; every other NP is single-buffered.
  EXPECT_FALSE(single_buffered(*b, 1));
  EXPECT_FALSE(single_buffered(*c, 0));
  EXPECT_TRUE(single_buffered(*a, 0) && single_buffered(*a, 1) && single_buffered(*b, 0) && single_buffered(*c, 1));
}

TEST_F(BuilderTest, OutputScaling) {
  // Thresholds with the reciprocals of the steps, a step of 0 staying 0.
  const auto fc = make_layer(LayerType::FullyConnected, {{"units", 2}}, "fc");
  graph.add(fc, {graph.input()});
  fc->variables().set("threshold", tensor(TensorType::int32, std::vector<int32_t>{5, -3}));
  fc->variables().set("act_step", tensor(TensorType::float32, std::vector<float>{0.0f, 4.0f}));
  EXPECT_EQ(output_scaling(*fc).thresholds, (std::vector<int32_t>{5, -3}));
  EXPECT_EQ(output_scaling(*fc).scales, (std::vector<float>{0.0f, 0.25f}));

  // Fewer steps than thresholds are refused.
  const auto dense = graph.dense("dense", {graph.input()});
  dense->variables().set("threshold", tensor(TensorType::int32, std::vector<int32_t>{1, 2}));
  dense->variables().set("act_step", tensor(TensorType::float32, std::vector<float>{1.0f}));
  EXPECT_EQ(error_text([&] { output_scaling(*dense); }), "Layer 'dense' has 1 \"act_step\" values for 2 thresholds.");
}

TEST_F(BuilderTest, FnpPaddingFlag) {
  // Before an FNP a 4-bit output pads; an 8-bit one pads only when the FNP has 4-bit weights.
  std::vector<std::unique_ptr<Model>> models;
  const auto chain = [&models](int32_t output_bits, int32_t weights_bits) {
    auto& model = models.emplace_back(model_with_input(4, 4, 4));
    const auto conv = add_layer(*model, LayerType::Conv2D,
                                {{"kernel_size", 1}, {"filters", 4}, {"output_bits", output_bits}}, "conv");
    return Layers{conv, add_layer(*model, LayerType::Dense1D, {{"units", 4}, {"weights_bits", weights_bits}})};
  };
  const Layers four = chain(4, 8), eight_w8 = chain(8, 8), eight_w4 = chain(8, 4);
  EXPECT_TRUE(fnp_padding_flag(four[0], four));
  EXPECT_FALSE(fnp_padding_flag(eight_w8[0], eight_w8));
  EXPECT_TRUE(fnp_padding_flag(eight_w4[0], eight_w4));
}

}  // namespace
}  // namespace ornix::test
