#include "backend/v2/conv2d_recording.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "backend_v2/dma_blocks.h"
#include "backend_v2/register_format_fixtures.h"
#include "engine/layer_fixtures.h"
#include "mapping/layer_mapping.h"
#include "program/thrown.h"
#include "support/fake_mapping.h"

// The layer under test: input 6x3x5 (8 bits) -> Conv2D K 3, Same padding, 12 filters, ReLU,
// mapped by hand. Per NP holding the whole input plane: PW 6, PH 3, NC 5, so R = roundup4(6) = 8
// bytes per padded row, R x NC / 4 = 10 words over the channels, 10 x 3 = 30 in word 4.

namespace ornix::v2 {
namespace {

using ornix::test::FakeDevice;
using ornix::test::make_layer;
using ornix::test::model_with_input;
using program::thrown;
using test::DmaBlock;
using test::overflow;
using test::targets;
using Words = std::vector<uint32_t>;
using Components = std::vector<hw::Component>;

// A CNP at column `col` computing filters [start, start + filters) over the whole 6x3x5 input.
hw::Component cnp(uint8_t col, uint32_t start, uint32_t filters) {
  const NpSpace whole{0, 0, Shape{6, 3, 5}};
  return {hw::Type::CNP1, {col, 1, 0, 0}, NpAllocation{start, filters, whole, whole, true}, {}};
}
SharedComponents list(Components components) { return std::make_shared<Components>(std::move(components)); }

constexpr HwVersion kV2{0xD3, 0xA2, 0x01, 0x00};
const hw::Component kLoad{hw::Type::SKIP_DMA_LOAD, {9, 1, 0, 0}, std::nullopt, {}};
const hw::Component kStore{hw::Type::SKIP_DMA_STORE, {9, 1, 0, 1}, std::nullopt, {}};

struct ConvFixture {
  explicit ConvFixture(const LayerParams::Values& changes = {}, Components nps = {cnp(3, 0, 12)}) {
    LayerParams::Values values{{"kernel_size", 3}, {"kernel_stride", 1}, {"filters", 12},    {"padding", 1},
                               {"activation", 1},  {"pool_type", 0},     {"weights_bits", 8}, {"output_bits", 8}};
    for (const auto& [key, value] : changes) values[key] = value;
    layer = make_layer(LayerType::Conv2D, values, "conv");
    model->add(layer);
    layer->variables().set("input_shift", test::u8({1, 2, 3, 4, 5}));
    std::vector<int8_t> bias(static_cast<size_t>(values["filters"]));
    for (size_t i = 0; i < bias.size(); ++i) bias[i] = static_cast<int8_t>(10 + i % 12);  // 10 .. 21 for 12 filters
    layer->variables().set("bias", test::s8(bias));
    mapping->layer_id = 3;
    mapping->output_id = 4;
    mapping->p2p_output = false;
    mapping->inputs = {list({cnp(2, 0, 5)})};
    mapping->outputs = {list({cnp(4, 0, 8)})};
    *mapping->nps = std::move(nps);
    layer->set_mapping(mapping);
  }
  // Follows an Add whose shifts give the one merge byte word 0xB3B08022, read through kLoad.
  void follow_add() {
    mapping->merge_info = std::make_unique<MergeLayerMapInfo>(MergeLayerMapInfo{
        .is_add = true, .channel_id = 6, .a_shift = test::u8({3, 0, 5, 1}), .b_shift = test::u8({1, 0, 5, 4}),
        .output_shift = test::s8({-1, 0, -2, -1})});
    mapping->skipdma_loads = {kLoad};
    mapping->skip_load = std::make_unique<SkipDmaLoadInfo>(SkipDmaLoadInfo{.channel_id = 5});
  }
  std::vector<DmaBlock> record(const std::vector<hw::Ident>& excluded = {}, bool registers_only = false,
                               std::shared_ptr<Layer> alt = nullptr) const {
    const auto program =
        record_program_conv2d_layer(device, *layer, alt, false, false, excluded, registers_only, false);
    EXPECT_EQ(program->version, kV2);
    const std::vector<DmaBlock> blocks = test::dma_blocks(*program);
    // NP blocks go to address 0, skip-DMA blocks (target 11) to their registers.
    for (const DmaBlock& block : blocks) EXPECT_TRUE(block.address == 0 || block.target == 11);
    return blocks;
  }
  std::string refusal() const {
    return thrown<std::runtime_error>([&] { record(); });
  }

  FakeDevice device{kV2};
  std::unique_ptr<Model> model = model_with_input(6, 3, 5);
  std::shared_ptr<Layer> layer;
  std::shared_ptr<LayerMapping> mapping = LayerMapping::create();
};

TEST(Conv2DRecording, OneNpGetsRegistersWeightsShiftsAndVariablesInOrder) {
  const ConvFixture f;
  const auto program = f.record();
  ASSERT_EQ(targets(program), (std::vector<uint32_t>{7, 1, 2, 5}));
  for (const DmaBlock& block : program) EXPECT_EQ(block.ident, (hw::Ident{3, 1, 0, 0}));

  const Words& regs = program[0].words;
  ASSERT_EQ(regs.size(), 64u);
  EXPECT_EQ(regs[3] >> 24, 3u);           // layer id
  EXPECT_EQ(regs[4], 0x8000001Eu);        // bit 31 | 10 words x 3 rows
  EXPECT_EQ(regs[11], 0x0000C008u);       // channel container 6 x 16 / 8 = 12 | input container 8
  EXPECT_EQ(regs[21], 0x0000000Cu);       // 12 filters
  EXPECT_EQ(regs[26], 0x000C0000u);       // 12 filters from 0
  EXPECT_EQ(regs[28], 0x0008000Au);       // R 8 | 10 words
  EXPECT_EQ(regs[29], 0x00020000u);       // two groups of eight filters
  EXPECT_EQ(regs[27] & 0x1FF, 0x11u);     // pool size 1, stride 1, no pooling flag
  EXPECT_EQ(regs[45], 0x04000404u);       // routing value 4 to column 4
  EXPECT_EQ(regs[46] & 0xFFFF, 0x0202u);  // from column 2

  EXPECT_EQ(program[1].words.size(), 5u * 36);  // 12 words of 100 bits x 3 per input channel
  EXPECT_EQ(program[2].words, (Words{0x04030201, 0x00000005}));
  ASSERT_EQ(program[3].words.size(), 24u);
  EXPECT_EQ(program[3].words[0], 10u << 8);
  EXPECT_EQ(program[3].words[22], 21u << 8);
}

TEST(Conv2DRecording, WeightTargetLutAndMergeShiftsFollowTheLayer) {
  EXPECT_EQ(targets(ConvFixture({{"weights_bits", 4}}).record()), (std::vector<uint32_t>{7, 0, 2, 5}));

  ConvFixture f({{"activation", 2}});
  f.layer->variables().set("lut_values", test::s32(std::vector<int32_t>(2048, 1)));
  f.follow_add();
  const auto program = f.record();
  // The load channel's blocks (target 11, at the load) come after every NP block.
  ASSERT_EQ(targets(program), (std::vector<uint32_t>{7, 1, 2, 5, 12, 10, 11, 11, 11, 11, 11}));
  EXPECT_EQ(program[4].words, Words(1024, 0x00010001));
  EXPECT_EQ(program[5].words, (Words{0xB3B08022}));
  EXPECT_EQ(program[6].ident, kLoad.ident);
  EXPECT_EQ(program[0].words[56] & 0x8, 0x8u);  // the merge bit
  EXPECT_EQ(program[0].words[52] >> 16 & 0xFF, 6u);

  const ConvFixture without_table({{"activation", 2}});
  EXPECT_EQ(thrown<std::invalid_argument>([&] { without_table.record(); }),
            "A lookup-table activation needs its lookup table tensor.");
}

TEST(Conv2DRecording, NpsComeInMappingOrderWithTheirOwnFilters) {
  // Column 5 before column 4, column 6 excluded; the channel offset moves only word 26.
  ConvFixture f({}, {cnp(5, 0, 6), cnp(4, 6, 6), cnp(6, 0, 12)});
  f.mapping->sram_output_shift = 100;
  const auto program = f.record({hw::Ident{6, 1, 0, 0}});
  ASSERT_EQ(targets(program), (std::vector<uint32_t>{7, 1, 2, 5, 7, 1, 2, 5}));
  EXPECT_EQ(program[0].ident, (hw::Ident{5, 1, 0, 0}));
  EXPECT_EQ(program[4].ident, (hw::Ident{4, 1, 0, 0}));
  EXPECT_EQ(program[0].words[26], 0x00060064u);  // 6 filters from 0 + 100
  EXPECT_EQ(program[4].words[26], 0x0006006Au);  // 6 filters from 6 + 100
  EXPECT_EQ(program[4].words[29], 0x00010000u);
  EXPECT_EQ(program[4].words[3] >> 16 & 0xFF, 3u);  // NPs of the layer, the excluded one included
  EXPECT_EQ(program[5].words.size(), 5u * 18);       // 6 filters: 6 words of 100 bits x 3 per channel
  EXPECT_EQ(program[7].words[0], 16u << 8);          // bias of filter 6
  EXPECT_EQ(program[7].words.size(), 12u);
}

// Each track is sized once, when it opens, for every block that will join it: none grows
// (which would move the words already written) and none keeps room it does not use, whether
// the NPs share one track or each NP's large weights open a track of their own.
TEST(Conv2DRecording, EachTrackIsSizedOnceForTheBlocksThatJoinIt) {
  const struct {
    const char* name;
    int32_t filters;
    Components nps;
    bool registers_only;
    bool after_add;  // merge shifts, and skip-DMA blocks after the NPs' blocks
    size_t tracks;
  } cases[] = {
      {"NPs sharing one track", 12, {cnp(5, 0, 6), cnp(4, 6, 6), cnp(6, 0, 12)}, false, false, 1},
      {"large weights open their own tracks", 400, {cnp(5, 0, 200), cnp(4, 200, 200)}, false, false, 3},
      {"registers only", 12, {cnp(5, 0, 4), cnp(4, 4, 4), cnp(6, 8, 4)}, true, false, 1},
      {"after an Add", 12, {cnp(5, 0, 6), cnp(4, 6, 6)}, false, true, 1},
      {"large weights after an Add", 400, {cnp(5, 0, 200), cnp(4, 200, 200)}, false, true, 3},
  };
  for (const auto& c : cases) {
    ConvFixture f({{"filters", c.filters}}, c.nps);
    if (c.after_add) f.follow_add();
    const auto program = record_program_conv2d_layer(f.device, *f.layer, nullptr, false, false, {}, c.registers_only,
                                                     false);
    ASSERT_EQ(program->tracks.size(), c.tracks) << c.name;
    for (const program::NpTrack& track : program->tracks) {
      EXPECT_EQ(track.words.capacity(), track.words.size()) << c.name;
    }
  }
}

TEST(Conv2DRecording, RegistersOnlyRecordsOneParkedBlockPerNp) {
  ConvFixture f({}, {cnp(5, 0, 6), cnp(4, 6, 6)});
  f.follow_add();
  f.mapping->skipdma_stores = {kStore};
  const auto program = f.record({}, true);
  ASSERT_EQ(targets(program), (std::vector<uint32_t>{7, 7}));
  EXPECT_EQ(program[1].words[3] >> 24, 0xFEu);
  EXPECT_EQ(program[1].words[52], 0u);  // no merge fields
  EXPECT_EQ(program[1].words[53], 0u);  // no skip-DMA load fields
}

TEST(Conv2DRecording, StoreFlagMovesStoresFromDestinationsToSources) {
  ConvFixture f;
  f.mapping->skipdma_stores = {kStore};
  f.mapping->skip_store = std::make_unique<SkipDmaStoreInfo>();
  const Words to_store = f.record()[0].words;
  f.mapping->tnp_b_fifo = true;
  const Words from_store = f.record()[0].words;
  // [15:8] largest, [7:0] smallest column of the destinations (word 45) and sources (word 46).
  EXPECT_EQ(to_store[45] & 0xFFFF, 0x0904u);
  EXPECT_EQ(to_store[46] & 0xFFFF, 0x0202u);
  EXPECT_EQ(from_store[45] & 0xFFFF, 0x0404u);
  EXPECT_EQ(from_store[46] & 0xFFFF, 0x0902u);
}

TEST(Conv2DRecording, PoolSizeComesFromTheParameterExceptForGlobalAverage) {
  EXPECT_EQ(ConvFixture({{"pool_type", 2}, {"pool_size", -1}}).record()[0].words[27] & 0x7, 1u);
  EXPECT_EQ(ConvFixture({{"pool_type", 1}, {"pool_size", 3}}).record()[0].words[27] & 0x7, 3u);
  EXPECT_EQ(ConvFixture({{"pool_type", 1}, {"pool_size", 8}, {"pool_stride", 1}}).refusal(), overflow(8, 3));
}

TEST(Conv2DRecording, AlternativeLayerViewOnlyOnSharedNps) {
  ConvFixture f({}, {cnp(5, 0, 6), cnp(4, 6, 6)});
  ConvFixture alt({}, {cnp(4, 0, 12)});
  const auto program = f.record({}, true, alt.layer);
  EXPECT_EQ(program[0].words[32], 0u);
  EXPECT_EQ(program[1].words[32] & 0x5, 0x5u);
}

TEST(Conv2DRecording, Refusals) {
  ConvFixture f;
  const auto unbuilt = make_layer(LayerType::Conv2D, {{"kernel_size", 3}, {"filters", 4}}, "unbuilt");
  EXPECT_EQ(thrown<std::invalid_argument>(
                [&] { record_program_conv2d_layer(f.device, *unbuilt, nullptr, false, false, {}, false, false); }),
            "Layer 'unbuilt' has no layer mapping.");
  unbuilt->set_mapping(f.mapping);
  EXPECT_EQ(thrown<std::runtime_error>(
                [&] { record_program_conv2d_layer(f.device, *unbuilt, nullptr, false, false, {}, false, false); }),
            "The layer unbuilt is not built.");

  EXPECT_EQ(ConvFixture({{"filters", 1024}}, {cnp(3, 0, 1024)}).refusal(), overflow(1024, 10));
  // 2048-byte rows of 32768 channels over 256 rows: 2^24 x 256 words, refused rather than wrapped to 0.
  hw::Component wide = cnp(3, 0, 12);
  wide.allocation->spatial_partition.shape = Shape{6, 3, 32768};
  wide.allocation->padded_partition.shape = Shape{2047, 256, 32768};
  EXPECT_EQ(ConvFixture({}, {wide}).refusal(), overflow(uint64_t{1} << 32, 16));
  f.mapping->nps->front().allocation.reset();
  EXPECT_EQ(thrown<std::invalid_argument>([&] { f.record(); }), "Layer 'conv' has an NP without allocation.");
}

}  // namespace
}  // namespace ornix::v2
