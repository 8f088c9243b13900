#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "backend/v1/cnp_recording.h"
#include "backend/v1/cnp_register_format.h"
#include "backend/v1/cnp_weight_format.h"
#include "backend/v1/np_registers_format.h"
#include "backend_v1/v1_fixtures.h"
#include "backend_v2/dma_blocks.h"
#include "support/fake_mesh_device.h"

namespace ornix::v1 {
namespace {

using ornix::test::throws_text;
using test::Components;
using test::np;
using Words = std::vector<uint32_t>;

std::shared_ptr<Dense> int32s(const std::vector<int32_t>& values) {
  return Dense::copy(values.data(), values.size() * 4, TensorType::int32, Shape{uint32_t(values.size())});
}
std::shared_ptr<Dense> floats(const std::vector<float>& values) {
  return Dense::copy(values.data(), values.size() * 4, TensorType::float32, Shape{uint32_t(values.size())});
}

TEST(CnpThresholdSteps, PacksTheNpFiltersAndRefusesStepsOutOfRange) {
  const auto threshold = int32s({5, -1, 524287});
  const auto steps = int32s({16, 0xFFFF0, 0});
  EXPECT_EQ(format_cnp_threshold_steps(*threshold, *steps, true, 1, 2), (Words{0xFFFFF, 0xFFFF0, 0x7FFFF, 0}));
  EXPECT_EQ(format_cnp_threshold_steps(*threshold, *steps, false, 1, 2), (Words{0x80000, 0xFFFF0, 0x80000, 0}));

  const std::string prefix = "Backend hardware(CNP): act_step should be between 0 and 65535. Receives act_step ";
  for (bool activation : {true, false}) {
    EXPECT_THAT([&] { format_cnp_threshold_steps(*int32s({0}), *int32s({0x100000}), activation, 0, 1); },
                throws_text<CnpError>(prefix + "65536."));
    // A negative step is refused, not written with its high bits set.
    EXPECT_THAT([&] { format_cnp_threshold_steps(*int32s({0}), *int32s({-16}), activation, 0, 1); },
                throws_text<CnpError>(prefix + "-1."));
  }
  EXPECT_THAT([&] { format_cnp_threshold_steps(*int32s({524288}), *int32s({0}), true, 0, 1); },
              throws_text<std::runtime_error>("524288 cannot fit in a 20 bits signed integer."));
  EXPECT_THAT([&] { format_cnp_threshold_steps(*threshold, *steps, true, 2, 2); },
              throws_text<std::invalid_argument>(
                  "The threshold and act_step tensors must hold one value per filter of the NP."));
}

hw::Component cnp(uint8_t col, NpSpace window, NpSpace padded, uint32_t filters = 3) {
  hw::Component c = np(hw::Type::CNP1, col);
  c.allocation = NpAllocation{0, filters, window, padded, true};
  return c;
}

// input 8 x 4 x 2 at 4 bits -> Convolutional 3x3, stride 2, Same (padding 0 before, 1 after),
// 3 filters, act_bits 2, split over columns: NP (3, 1) takes columns 0-2 (padded 0-3) and
// computes output column 0 (kernel centre at input column 1); NP (4, 1) takes columns 3-7
// (padded 2-7) and computes output columns 1-3 (centres 3, 5, 7).
// Fed by a CNP at column 2, output point to point to the DMA at (1, 1) with tag 5.
struct SplitConv {
  explicit SplitConv(int32_t weights_bits)
      : conv(LayerType::Convolutional,
             {{"kernel_width", 3}, {"kernel_height", 3}, {"stride_x", 2}, {"stride_y", 2}, {"padding", 1},
              {"filters", 3}, {"weights_bits", weights_bits}, {"activation", 1}, {"act_bits", 2}, {"pool_type", 0}},
             Shape{8, 4, 2}, 4,
             {cnp(3, {0, 0, {3, 4, 2}}, {0, 0, {4, 4, 2}}), cnp(4, {3, 0, {5, 4, 2}}, {2, 0, {6, 4, 2}})}) {
    LayerMapping& m = *conv.mapping;
    m.layer_id = 3;
    m.output_id = 5;
    m.inputs = {std::make_shared<Components>(Components{np(hw::Type::CNP1, 2)})};
    m.outputs = {std::make_shared<Components>(Components{np(hw::Type::DMA, 1)})};
    conv.layer->variables().set("threshold", int32s({1, -1, 0}));
    conv.layer->variables().set("act_step", floats({1.0f, 2.0f, 65535.0f}));
  }
  test::MappedLayer conv;
  ornix::test::FakeMeshDevice device{HwVersion{0xD3, 0xA1, 1, 0}, ornix::test::empty_mesh(IpVersion::v1)};
};

Words expected_split_block(bool second) {
  Words block = default_np_regs();
  block[1] = 0x00400060;                         // bits 5, 6, single buffer
  block[3] = 0x03029002;                         // tag 3, 2 NPs, activation, act 2 bits, input 4 bits
  block[4] = second ? 0x80000008 : 0x80000004;   // ((2 x container x 8 + 31) / 32) x 4 rows
  block[8] = second ? 0xF0050004 : 0x00030004;   // width 5 at column offset -1 / width 3; height 4
  block[9] = second ? 0x10020000 : 0;           // padded column 2, phase (0 + 3) % 2 / origin 0, phase 0
  block[10] = second ? 0x00060004 : 0x00040004;  // padded width and height
  block[11] = second ? 0x00004008 : 0x00004004;  // 4 weight quads a channel; container 8 / 4
  block[20] = 0x30000100;                        // kernel 3, stride 2
  block[21] = 0x00030000;                        // 3 filters of 1-bit weights
  block[24] = second ? 0x00010000 : 0;           // first output column 1 / 0
  block[25] = second ? 0x00030002 : 0x00010002;  // 2 output rows; 3 / 1 output columns
  block[26] = 0x00030000;
  block[27] = 0x00000011;                        // pool width 1, stride 1
  block[28] = second ? 0x00030002 : 0x00020001;  // container 3 / 2 bytes
  block[29] = 0x00010000;
  block[44] = 0xFF080001;
  block[45] = 0x05100101;
  block[46] = 0x00000202;
  block[47] = 0x00000401;
  return block;
}

TEST(CnpRegisters, GoldenBlocksOfATwoNpSplit) {
  SplitConv one_bit(1);
  const auto regs = format_std_cnp_regs(*one_bit.conv.layer, nullptr, false, false, {});
  ASSERT_EQ(regs.size(), 2u);
  EXPECT_EQ(regs.at(hw::Ident{3, 1, 0, 0}), expected_split_block(false));
  EXPECT_EQ(regs.at(hw::Ident{4, 1, 0, 0}), expected_split_block(true));

  SplitConv two_bit(2);
  const Words block = format_std_cnp_regs(*two_bit.conv.layer, nullptr, true, true, {}).at(hw::Ident{3, 1, 0, 0});
  EXPECT_EQ(block[21], 0x00000003u);  // the filter count moves to the low half
  EXPECT_EQ(block[2], 0x80u);         // input-buffer spikes
  EXPECT_EQ(block[44], 0xFF080005u);  // route flag
}

TEST(CnpRegisters, WindowOffsetsAndPoolingEdges) {
  CnpLayerFacts facts;
  facts.input = Shape{8, 20, 2};
  facts.input_bits = 4;
  facts.kernel = 3;
  facts.stride = 1;
  Words regs = default_np_regs();
  const NpAllocation far_off{0, 1, {0, 9, {8, 4, 2}}, {0, 0, {8, 13, 2}}, true};
  EXPECT_THAT([&] { format_cnp_split_regs(&regs, facts, far_off); },
              throws_text<std::runtime_error>("-9 cannot fit in a 4 bits signed integer."));

  struct Row {
    NpSpace window;
    PaddingParams pool_padding;
    uint32_t edges;  // word 27 bits 12-15
  };
  const std::vector<Row> rows = {
      {{0, 0, {8, 20, 2}}, {1, 1, 1, 1}, 0xF},  // the whole input: every padded side
      {{0, 0, {8, 20, 2}}, {0, 0, 0, 0}, 0x0},
      {{0, 0, {4, 10, 2}}, {1, 1, 1, 1}, 0xA},  // top and left only
      {{4, 10, {4, 10, 2}}, {1, 1, 1, 1}, 0x5},  // bottom and right only
      {{4, 10, {4, 10, 2}}, {1, 0, 1, 0}, 0x0},
      {{0, 0, {8, 20, 2}}, {2, 0, 0, 0}, 0x8},
  };
  facts.pool_width = 2;
  facts.pool_stride = 2;
  facts.pool_flag = true;
  for (const Row& row : rows) {
    facts.pool_padding = row.pool_padding;
    format_cnp_pooling_regs(&regs, facts, row.window);
    EXPECT_EQ(regs[27], row.edges << 12 | 0x122) << row.edges;
  }
}

TEST(CnpRegisters, PoolingAndBuildStateOfTheLayer) {
  auto pooled = [](int32_t pool_type, int32_t width) {
    test::MappedLayer layer(LayerType::Convolutional,
                            {{"kernel_width", 3}, {"kernel_height", 3}, {"stride_x", 1}, {"filters", 2},
                             {"weights_bits", 1}, {"pool_type", pool_type}, {"pooling_width", width},
                             {"pooling_height", width}},
                            Shape{8, 8, 1}, 1, {});
    return read_cnp_layer_facts(*layer.layer);
  };
  const CnpLayerFacts none = pooled(0, 2), global_average = pooled(2, -1), max = pooled(1, 2);
  EXPECT_EQ(std::vector<uint32_t>({none.pool_width, none.pool_stride, none.pool_flag}), (Words{1, 1, 0}));
  EXPECT_EQ(std::vector<uint32_t>({global_average.pool_width, global_average.pool_flag}), (Words{1, 1}));
  EXPECT_EQ(std::vector<uint32_t>({max.pool_width, max.pool_stride, max.pool_flag}), (Words{2, 2, 1}));

  auto loose =
      ornix::test::make_layer(LayerType::Convolutional, {{"kernel_width", 3}, {"filters", 2}}, "loose");
  EXPECT_THAT([&] { format_std_cnp_regs(*loose, nullptr, false, false, {}); },
              throws_text<std::runtime_error>("The layer loose is not built."));
}

TEST(CnpRecording, TracksPerNpWithSkippedNpsAndRegistersOnly) {
  SplitConv fixture(1);
  const Layer& layer = *fixture.conv.layer;
  const hw::Ident second{4, 1, 0, 0};
  const auto record = record_program_conv_layer(fixture.device, layer, nullptr, false, false, {second}, false);
  const auto blocks = v2::test::dma_blocks(*record);
  ASSERT_EQ(v2::test::targets(blocks), (std::vector<uint32_t>{7, 0, 4, 7, 0, 4}));
  EXPECT_EQ(blocks[0].words, expected_split_block(false));
  EXPECT_EQ(blocks[1].words, format_std_cnp_weights(layer.variables().get("weights"), false, 0, 3));
  EXPECT_EQ(blocks[2].words, (Words{1, 16, 0xFFFFF, 32, 0, 0xFFFF0}));
  EXPECT_EQ(blocks[3].ident, second);
  EXPECT_TRUE(blocks[3].words.empty());

  const auto registers = record_program_conv_layer(fixture.device, layer, nullptr, false, false, {}, true);
  EXPECT_EQ(v2::test::targets(v2::test::dma_blocks(*registers)), (std::vector<uint32_t>{7, 7}));

  fixture.conv.layer->variables().set("act_step", floats({1.0f, 65536.0f, 1.0f}));
  EXPECT_THAT([&] { record_program_conv_layer(fixture.device, layer, nullptr, false, false, {}, false); },
              throws_text<CnpError>("Backend hardware(CNP): act_step should be between 0 and 65535. Receives "
                                    "act_step 65536."));
}

TEST(CnpRecording, SeparableLayerPlacesThePointwiseStreamAfterTheDepthwiseOne) {
  // 20 channels of 3x3 2-bit kernels: two kernels a slot, a 20-word depthwise stream.
  test::MappedLayer sep(LayerType::SeparableConvolutional,
                        {{"kernel_width", 3}, {"kernel_height", 3}, {"stride_x", 1}, {"padding", 1}, {"filters", 2},
                         {"weights_bits", 2}, {"activation", 1}, {"act_bits", 2}, {"pool_type", 0}},
                        Shape{4, 4, 20}, 4, {cnp(3, {0, 0, {4, 4, 20}}, {0, 0, {4, 4, 20}}, 2)});
  ornix::test::FakeMeshDevice device{HwVersion{0xD3, 0xA1, 1, 0}, ornix::test::empty_mesh(IpVersion::v1)};
  sep.mapping->outputs = {std::make_shared<Components>(Components{np(hw::Type::DMA, 1)})};
  sep.mapping->inputs = {std::make_shared<Components>(Components{np(hw::Type::CNP1, 2)})};
  const Layer& layer = *sep.layer;
  const Words depthwise = format_sep_cnp_dw_weights(*layer.variables().get("weights"), 2);
  ASSERT_EQ(depthwise.size(), 20u);

  const auto record = record_program_sep_conv_layer(device, layer, nullptr, false, false, {}, false);
  const auto blocks = v2::test::dma_blocks(*record);
  ASSERT_EQ(v2::test::targets(blocks), (std::vector<uint32_t>{7, 0, 0, 4}));
  EXPECT_EQ(blocks[1].words, depthwise);
  EXPECT_EQ(blocks[2].address, 2u);
  EXPECT_EQ(blocks[2].words, format_sep_cnp_pw_weights(*layer.variables().get("weights_pw"), 2, 0, 2));
  const Words& regs = blocks[0].words;
  EXPECT_EQ(regs[3], 0x00019116u);   // separable, weight codes 1 and 1; 1 NP, activation, act 2 bits
  EXPECT_EQ(regs[20], 0x30000001u);  // kernel 3, one pointwise slot
  EXPECT_EQ(regs[22], 0x00100000u);  // 32 depthwise words (20 rounded up to 16) / 2
}

// Every block of a layer is sized before any is added: each track keeps room for exactly the
// blocks that join it, so none grows (which would move the words already written) and none
// keeps room it does not use, whether the NPs share one track or large pointwise weights
// (128 channels of 9 slots: 2304 words, the extra-large form) open tracks of their own.
TEST(CnpRecording, EachTrackIsSizedOnceForTheBlocksThatJoinIt) {
  SplitConv standard(2);
  const Layer& conv = *standard.conv.layer;
  const NpSpace whole{0, 0, {4, 4, 128}};
  test::MappedLayer sep(LayerType::SeparableConvolutional,
                        {{"kernel_width", 3}, {"kernel_height", 3}, {"stride_x", 1}, {"padding", 1}, {"filters", 200},
                         {"weights_bits", 4}, {"activation", 1}, {"act_bits", 2}, {"pool_type", 0}},
                        Shape{4, 4, 128}, 4, {cnp(3, whole, whole, 100), cnp(4, whole, whole, 100)});
  sep.mapping->outputs = {std::make_shared<Components>(Components{np(hw::Type::DMA, 1)})};
  sep.mapping->inputs = {std::make_shared<Components>(Components{np(hw::Type::CNP1, 2)})};
  const struct {
    const char* name;
    std::function<std::unique_ptr<program::Record>()> record;
    size_t tracks;
  } cases[] = {
      {"standard NPs sharing one track",
       [&] { return record_program_conv_layer(standard.device, conv, nullptr, false, false, {}, false); }, 1},
      {"a skipped NP",
       [&] { return record_program_conv_layer(standard.device, conv, nullptr, false, false, {{4, 1, 0, 0}}, false); },
       1},
      {"registers only",
       [&] { return record_program_conv_layer(standard.device, conv, nullptr, false, false, {}, true); }, 1},
      {"large pointwise weights in tracks of their own",
       [&] { return record_program_sep_conv_layer(standard.device, *sep.layer, nullptr, false, false, {}, false); }, 3},
  };
  for (const auto& c : cases) {
    const auto record = c.record();
    ASSERT_EQ(record->tracks.size(), c.tracks) << c.name;
    for (const program::NpTrack& track : record->tracks) {
      EXPECT_EQ(track.words.capacity(), track.words.size()) << c.name;
    }
  }
}

// Pointwise weights are packed straight into the track: weights refused while they are packed
// (a 2-bit code out of range in the last channel, after the first two are written) leave the
// track as it was, and the words given back take the next stream as zeros.
TEST(CnpRecording, RefusedPointwiseWeightsLeaveTheirTrackAsItWas) {
  auto record = program::new_record(HwVersion{0xD3, 0xA1, 1, 0});
  const hw::Ident ident{3, 1, 0, 0};
  record->add_np_track(ident, dma::Target::NpRegisters, 0, Words{1, 2, 3});
  const auto in_place = [&](const std::shared_ptr<Dense>& weights) {
    record->add_np_track(ident, dma::Target::CnpWeights, 2, sep_cnp_pw_weight_words(*weights, 2, 0, 4),
                         [&](std::span<uint32_t> words) { pack_sep_cnp_pw_weights(*weights, 2, 0, 4, words); });
  };
  const auto pointwise = [](int8_t last) {
    const std::vector<int8_t> values{1, -1, 0, 1, -2, 1, 1, 0, 0, 1, last, 1};
    return Dense::copy(values.data(), values.size(), TensorType::int8, Shape{3, 4}, Layout::RowMajor);
  };
  const auto& track = record->tracks.back().words;
  const Words before(track.begin(), track.end());

  EXPECT_THAT([&] { in_place(pointwise(-8)); },
              throws_text<std::runtime_error>("-8 cannot fit in a 2 bits signed integer."));
  ASSERT_EQ(record->tracks.size(), 1u);
  EXPECT_EQ(Words(track.begin(), track.end()), before);

  in_place(pointwise(-1));
  const auto blocks = v2::test::dma_blocks(*record);
  ASSERT_EQ(v2::test::targets(blocks), (std::vector<uint32_t>{7, 0}));
  // Codes 1, 3, 0, 1 | 2, 1, 1, 0 | 0, 1, 3, 1, one slot a channel.
  EXPECT_EQ(blocks[1].words, (Words{0x4D, 0, 0x16, 0, 0x74, 0}));
  EXPECT_EQ(blocks[1].address, 2u);
}

}  // namespace
}  // namespace ornix::v1
