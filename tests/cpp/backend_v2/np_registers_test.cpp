#include <gtest/gtest.h>

#include <array>
#include <initializer_list>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "backend/v2/np_registers_format.h"
#include "backend/v2/partial_reconfig_registers.h"
#include "backend_v2/dma_blocks.h"
#include "engine/layer_fixtures.h"
#include "mapping/layer_mapping.h"
#include "mapping/layer_mapping_builder.h"
#include "program/thrown.h"

// Golden words are worked out by hand in the comments, from the field layout of the NP block.

namespace ornix::v2 {
namespace {

using program::thrown;
using test::overflow;
using Block = std::array<uint32_t, kNpRegisterWords>;
using Components = std::vector<hw::Component>;

hw::Component np(uint8_t col, uint8_t row, uint8_t id = 0, hw::Type type = hw::Type::CNP1) {
  return {type, {col, row, id, 0}, std::nullopt, {}};
}
const hw::Component kHrc{hw::Type::HRC, {}, std::nullopt, {}};

Block block_with(std::initializer_list<std::pair<std::size_t, uint32_t>> words) {
  Block block{};
  for (const auto& [word, value] : words) block[word] = value;
  return block;
}

// id 0, layer id 5: the fixed defaults, 5 in word 3's top byte, only bit 23 in word 56.
const Block kDefaultBlockId0Value5 =
    block_with({{1, 0x20}, {2, 0x8}, {3, 0x05000000}, {5, 0x00130100}, {6, 0x08040000}, {12, 0x52000000},
                {13, 0x10}, {37, 0xFF000000}, {56, 0x00800000}, {57, 0x40}});

TEST(DefaultNpRegisters, StartsFromTheFixedDefaults) {
  const std::vector<uint32_t> block = default_np_regs(np(3, 1), 5, false, false);
  EXPECT_EQ(std::vector<uint32_t>(kDefaultBlockId0Value5.begin(), kDefaultBlockId0Value5.end()), block);

  EXPECT_EQ(default_np_regs(np(3, 1, 2), 5, false, true)[56], 0x01800108u);  // bits 24, 23, 8, 3
  EXPECT_EQ(default_np_regs(np(3, 1, 1), 5, false, true)[56], 0x00800008u);  // id 1 is a lower NP
  EXPECT_EQ(default_np_regs(np(3, 1), 255, false, false)[3], 0xFF000000u);

  EXPECT_EQ(thrown<std::runtime_error>([] { default_np_regs(np(3, 1), 256, false, false); }), overflow(256, 8));
  EXPECT_EQ(default_np_regs(np(3, 1), 256, true, false)[3], 0xFE000000u);
}

// Routing of the NP at columns 5-6 (own), from columns 2 and 4, to one NP at column 8 row 3 id 2.
struct Routing {
  Components sources{np(2, 1), np(4, 2)}, own{np(5, 1), np(6, 1, 1)}, destinations{np(8, 3, 2)};
  const AltLayerMapInfo* alt = nullptr;
  uint8_t value = 7;
  bool p2p_in = false, p2p_out = false, pr_flag = true;

  Block apply(Block block) const {
    format_mesh_registers_set_output_to_NPs(NpRegisterBlock{block}, sources, own, destinations, alt, value, p2p_in,
                                            p2p_out, pr_flag);
    return block;
  }
  std::string refusal() const {
    return thrown<std::runtime_error>([this] { apply({}); });
  }
};

// Bits the routing keeps: word 44 bits 4-15, word 45 bits 16-23, word 46 bits 16-23 (bit 31
// is cleared), word 47 bits 16-31.
const Block kPreset = block_with({{44, 0x0000FFF0}, {45, 0x00FF0000}, {46, 0x80FF0000}, {47, 0xABCD0000}});

TEST(MeshRouting, NamesColumnRangesOfOneAndSeveralNps) {
  Routing r;
  // 44: 0xFF | 0x08 | kept 0xFFF0 | bit 3 | pr_flag bit 2; 45: value 7, columns 8..8;
  // 46: columns 2..4; 47: columns min(5, 8) .. max(6, 8).
  EXPECT_EQ(r.apply(kPreset),
            block_with({{44, 0xFF08FFFC}, {45, 0x07FF0808}, {46, 0x00FF0402}, {47, 0xABCD0805}}));

  r.destinations = {np(7, 1, 0, hw::Type::TNP_B), np(9, 2)};  // value 1 - 1 towards a TNP-B
  r.value = 1;
  r.pr_flag = false;
  EXPECT_EQ(r.apply({}), block_with({{44, 0xFF080008}, {45, 0x00000907}, {46, 0x00000402}, {47, 0x00000905}}));
  r.value = 0;
  EXPECT_EQ(r.refusal(), overflow(4294967295u, 8));

  r.sources = r.destinations = {kHrc};  // the input NP alone reads as columns 1..1
  r.own = {np(3, 1)};
  const Block hrc = r.apply({});
  EXPECT_EQ(hrc[45], 0x00000101u);
  EXPECT_EQ(hrc[46], 0x00000101u);
  EXPECT_EQ(hrc[47], 0x00000301u);

  r.destinations.clear();
  EXPECT_THROW(r.apply({}), std::invalid_argument);
}

TEST(MeshRouting, PointToPointNamesTheOneNpOrRefusesSeveral) {
  Routing r;
  r.p2p_out = r.p2p_in = true;
  r.sources = {np(2, 4, 1)};
  // 45: value 7 | one-hot 4 in bits 20-23 | kept 0xF in bits 16-19 | col 8 | row 3;
  // 46: one-hot 2 | col 2 | row 4; 47 from the destination's column range.
  const Block p2p = r.apply(block_with({{45, 0x000F0000}}));
  EXPECT_EQ(p2p[44], 0xFF08000Du);
  EXPECT_EQ(p2p[45], 0x074F0803u);
  EXPECT_EQ(p2p[46], 0x00200204u);
  EXPECT_EQ(p2p[47], 0x00000805u);

  r.destinations = {np(8, 3), np(9, 3)};
  EXPECT_EQ(r.refusal(), "Cannot use P2P OUT mode for multiple NPs.");
  r.destinations.clear();
  EXPECT_EQ(r.refusal(), "Cannot use P2P OUT mode for multiple NPs.");
  r.destinations = {np(8, 3)};
  r.sources = {np(2, 1), np(2, 2)};
  EXPECT_EQ(r.refusal(), "Cannot use P2P IN mode for multiple NPs.");
}

TEST(MeshRouting, MarksAnAlternativeBranchHead) {
  Routing r;
  AltLayerMapInfo alt{1, 6, 3};
  r.alt = &alt;
  // 46 bit 19; 52: count 6 | first id 3 | second branch bit 4 | kept bits 0-3 and 7.
  const Block block = r.apply(block_with({{52, 0x0000008F}}));
  EXPECT_EQ(block[46], 0x00080402u);
  EXPECT_EQ(block[52], 0x0603009Fu);
}

TEST(NpRegisterBits, SpikesAndConfigurationDma) {
  Block block = kDefaultBlockId0Value5;
  set_ib_spikes(NpRegisterBlock{block});
  set_ib_spikes(NpRegisterBlock{block});
  Block spiking = kDefaultBlockId0Value5;
  spiking[2] = 0x88;
  EXPECT_EQ(block, spiking);

  block[49] = 0xFFF00000;  // 49: kept bits 20-31 | one-hot 8 | col 5 | row 2
  format_mesh_cfg_dma_reg(NpRegisterBlock{block}, {5, 2, 3, 0});
  EXPECT_EQ(block[49], 0xFFF80502u);
}

// A model from an input of the given shape and bit width.
struct Net {
  Net(uint32_t width, uint32_t height, uint32_t channels, int32_t bits = 8)
      : model(ornix::test::model_with_input(width, height, channels, bits)) {}
  std::shared_ptr<Layer> add(LayerType type, const LayerParams::Values& values, const char* name) {
    auto layer = ornix::test::make_layer(type, values, name);
    model->add(layer);  // after the last layer
    return layer;
  }
  std::unique_ptr<Model> model;
};

// Maps `layer` onto `nps` with its sources and input id set by hand.
LayerMapping& map(const std::shared_ptr<Layer>& layer, const Components& nps, const Components& inputs,
                  uint8_t input_id = 0) {
  LayerMappingBuilder::map_standalone(layer, nps, 1, {});
  LayerMapping& mapping = record_of(*layer);
  mapping.inputs = {std::make_shared<Components>(inputs)};
  mapping.input_id = input_id;
  return mapping;
}

hw::Component share(uint32_t first, uint32_t filters, NpSpace spatial, NpSpace padded) {
  return {hw::Type::CNP2, {3, 1, 0, 0}, NpAllocation{first, filters, spatial, padded, true}, {}};
}

Block reconfigured(const Layer& alt_layer, const hw::Component& alt_np, Block block = {}) {
  update_partial_reconfig_regs(NpRegisterBlock{block}, alt_layer, alt_np, true);
  return block;
}

TEST(PartialReconfig, ConvolutionAfterBareMaxPoolingTakesItsPaddedWindow) {
  // P max-pools 14x6 to 7x3x6 without activation; A reads it at 8 bits.
  Net g(16, 8, 4);
  g.add(LayerType::Conv2D,
        {{"kernel_size", 3}, {"filters", 6}, {"pool_type", 1}, {"pool_size", 2}, {"output_bits", 8}}, "P");
  const auto a = g.add(LayerType::Conv2D, {{"kernel_size", 3}, {"filters", 10}}, "A");
  LayerMapping& mapping = map(a, {np(3, 1), np(3, 2), np(4, 1)}, {np(3, 1), np(4, 1)}, 9);
  mapping.skipdma_loads = {np(6, 1, 0, hw::Type::SKIP_DMA_LOAD)};
  const hw::Component alt_np = share(4, 3, {0, 0, Shape{5, 3, 6}}, {1, 2, Shape{7, 3, 6}});

  // R = roundup4(ceil(8 x 7 / 8)) = 8, Q = 8 x 6 / 4 = 12; pksram (8 x 6 / 4) x 3 = 36.
  // 32: id 9 | max pooling bit 11 | code 3 | bits 2, 0; 33: J 1, I 2; 34: J 7, I 3;
  // 35: R | kept bits 14-15 | Q; 41: 3 NPs | kept 0xAB | sources 3..6 (bit 31 cleared).
  const Block kAltConv7x3x6 = block_with({{32, 0x09000835}, {33, 0x00010002}, {34, 0x00070003}, {35, 0x0008C00C},
                                          {40, 36}, {41, 0x03AB0603}, {44, 0x00008000}});
  EXPECT_EQ(reconfigured(*a, alt_np, block_with({{35, 0xC000}, {41, 0x80AB0000}})), kAltConv7x3x6);

  mapping.merge_info = std::make_unique<MergeLayerMapInfo>();
  EXPECT_EQ(reconfigured(*a, alt_np)[32], 0x0900087Du);  // after a merge that is not an Add: bits 3, 6
  mapping.merge_info->is_add = true;
  EXPECT_EQ(reconfigured(*a, alt_np)[32], 0x0900083Du);
}

TEST(PartialReconfig, SeparableLayerHoldingAChannelGroup) {
  Net g(16, 8, 4);
  const auto d = g.add(LayerType::DepthwiseConv2D, {{"kernel_size", 3}}, "D");
  map(d, {np(3, 1)}, {kHrc});
  // Q = ceil(8 x 9 / 32) = 3, R = 3 x 5 x 4 = 60; channels 1, 2 of 4.
  // 32: channel group bit 10 | code 3 | bits 2, 0; 35: R | separable | Q; 41: 1 NP, columns 1..1.
  const Block kAltDepthwiseGroup = block_with({{32, 0x00000435}, {33, 0x00000001}, {34, 0x00090005},
                                               {35, 0x003C8003}, {41, 0x01000101}, {42, 0x00020001},
                                               {44, 0x00008000}});
  EXPECT_EQ(reconfigured(*d, share(1, 2, {0, 0, Shape{6, 4, 2}}, {0, 1, Shape{9, 5, 2}})), kAltDepthwiseGroup);

  const Block whole = reconfigured(*d, share(0, 4, {0, 0, Shape{6, 4, 4}}, {0, 1, Shape{9, 5, 4}}));
  EXPECT_EQ(whole[32], 0x00000035u);
  EXPECT_EQ(whole[42], 0u);
}

TEST(PartialReconfig, FullyConnectedLayerReadsItsWholeInput) {
  // C gives 14x6x4 at 4 bits: from a CNP, padded(56, 4) x 6 = 336 slots, RowAligned:
  // R = ceil(4 x 14 / 8) = 7, not rounded; Q = ceil(7 x 4 / 4) = 7.
  Net g(16, 8, 4);
  g.add(LayerType::Conv2D, {{"kernel_size", 3}, {"filters", 4}, {"output_bits", 4}}, "C");
  const auto f = g.add(LayerType::Dense1D, {{"units", 10}, {"weights_bits", 4}}, "F");
  map(f, {np(5, 1, 0, hw::Type::FNP3)}, {np(2, 1), np(3, 1)});
  // 32: code 2 | bits 2, 1 (FNP mode), 0; 34: J 14, I 6; 35: R 7 | Q 7 over x·y = 84.
  const Block kAltDense14x6x4 =
      block_with({{32, 0x00000027}, {34, 0x000E0006}, {35, 0x00070007}, {41, 0x01000302}, {44, 0x00008000}});
  EXPECT_EQ(reconfigured(*f, share(0, 10, {0, 0, Shape{14, 6, 4}}, {0, 0, Shape{14, 6, 4}})), kAltDense14x6x4);

  Net wide(64, 64, 4);  // 64x64x4 at 8 bits fits no FNP input layout
  wide.add(LayerType::Conv2D, {{"kernel_size", 1}, {"filters", 4}, {"output_bits", 8}}, "C");
  const auto u = wide.add(LayerType::Dense1D, {{"units", 10}, {"weights_bits", 8}}, "U");
  map(u, {np(5, 1, 0, hw::Type::FNP3)}, {np(2, 1)});
  EXPECT_EQ(thrown<std::runtime_error>([&] { reconfigured(*u, share(0, 10, {}, {})); }), "Unsupported padding.");
}

TEST(PartialReconfig, RefusesWhatItCannotDescribe) {
  Net g(16, 8, 4, 16);
  const auto a = g.add(LayerType::Conv2D, {{"kernel_size", 3}, {"filters", 4}}, "A");
  const hw::Component alt_np = share(0, 4, {0, 0, Shape{14, 6, 4}}, {0, 0, Shape{16, 8, 4}});
  EXPECT_EQ(thrown<std::invalid_argument>([&] { reconfigured(*a, alt_np); }), "Layer 'A' has no layer mapping.");
  map(a, Components(128, np(3, 1)), {kHrc});
  EXPECT_EQ(thrown<std::runtime_error>([&] { reconfigured(*a, alt_np); }), overflow(6, 2));  // 16 / 2 - 16 / 8

  Net narrow(16, 8, 4);
  const auto b = narrow.add(LayerType::Conv2D, {{"kernel_size", 3}, {"filters", 4}}, "B");
  map(b, Components(128, np(3, 1)), {kHrc});
  EXPECT_EQ(thrown<std::runtime_error>([&] { reconfigured(*b, alt_np); }), overflow(128, 7));
  EXPECT_THROW(reconfigured(*b, np(3, 1)), std::invalid_argument);  // no allocation
}

}  // namespace
}  // namespace ornix::v2
