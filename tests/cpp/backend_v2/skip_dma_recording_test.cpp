#include "backend/v2/skip_dma_recording.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/layer_fixtures.h"
#include "mapping/layer_mapping_builder.h"
#include "backend_v2/dma_blocks.h"
#include "program/thrown.h"

// Golden words are worked out by hand in the comments. Stores sit on channel 1 (registers at 256
// + offset: 0x1C 284, 0x22 290, 0x3C 316, 0x1024 4388, 0x1026 4390), loads on channel 0 or 2;
// the shared address 0x1001 is 4097.

namespace ornix::v2 {
namespace {

using program::thrown;
using test::overflow;
using Words = std::vector<uint32_t>;

struct Block {
  hw::Ident ident;
  uint16_t address;
  Words words;
  bool operator==(const Block&) const = default;
};

// Every block of the record; each must be a target-11 block.
std::vector<Block> blocks(const program::Record& record) {
  std::vector<Block> out;
  for (const auto& block : test::dma_blocks(record)) {
    EXPECT_EQ(block.target, 11u);
    out.push_back({block.ident, uint16_t(block.address), block.words});
  }
  return out;
}

hw::Component np(uint8_t col, uint8_t row, uint8_t id = 0, hw::Type type = hw::Type::CNP1) {
  return {type, {col, row, id, 0}, NpAllocation{}, {}};
}
hw::Component skip_dma(hw::Type type, uint8_t col, uint8_t channel) {
  return {type, {col, 1, 0, channel}, std::nullopt, {}};
}

const hw::Component kStore = skip_dma(hw::Type::SKIP_DMA_STORE, 10, 1), kLoad = skip_dma(hw::Type::SKIP_DMA_LOAD, 9, 0);
const hw::Ident kStoreAt = kStore.ident, kLoadAt = kLoad.ident;
constexpr HwVersion kV2{0xD3, 0xA2, 0x01, 0x00};

LayerMapping& mapping(const std::shared_ptr<Layer>& layer) { return *layer_mapping_of(*layer); }

std::vector<Block> recorded(const std::shared_ptr<Layer>& layer) {
  const auto record = program::new_record(kV2);
  record_skipdma(record.get(), *layer);
  return blocks(*record);
}

template <typename Error = std::runtime_error>
std::string refusal(const std::shared_ptr<Layer>& layer) {
  return thrown<Error>([&] { recorded(layer); });
}

using Layers = std::vector<std::shared_ptr<Layer>>;

// A model being built from an input of the given shape (8 bits).
struct Net {
  Net(uint32_t width, uint32_t height, uint32_t channels)
      : model(ornix::test::model_with_input(width, height, channels)) {}
  std::shared_ptr<Layer> add(LayerType type, const LayerParams::Values& values, const char* name, const Layers& in) {
    auto layer = ornix::test::make_layer(type, values, name);
    model->add(layer, in);
    return layer;
  }
  std::shared_ptr<Layer> conv(const char* name, const Layers& in, int32_t filters, int32_t bits) {
    return add(LayerType::Conv2D, {{"kernel_size", 1}, {"filters", filters}, {"output_bits", bits}}, name, in);
  }
  std::shared_ptr<Layer> input() const { return model->get_layer(0); }
  std::unique_ptr<Model> model;
};

// input 20x5x3 (8 bits) -> X -> C1 -> C2, M = Add(X, C2) -> Y; X..C2 and M give 20x5x7 at 4
// bits, Y 8 bits. X (id 1) stores for M; its output goes to C1 (id 2). Y loads: stream 10,
// consumer 11 (its first two DMA channels, from 5 + 1 + 4).
struct Residual {
  Net g{20, 5, 3};
  std::shared_ptr<Layer> x = g.conv("X", {g.input()}, 7, 4), c1 = g.conv("C1", {x}, 7, 4),
                         c2 = g.conv("C2", {c1}, 7, 4), m = g.add(LayerType::Add, {}, "M", {x, c2}),
                         y = g.conv("Y", {m}, 7, 8);
  Residual() {
    const Layers pass{x, c1, c2, m, y};
    LayerMappingBuilder::build_layer_mapping(
        pass, pass, {{np(1, 1), kStore}, {np(1, 2)}, {np(1, 3)}, {}, {np(3, 1), np(5, 2), kLoad}}, {0, 0, 1, 0});
  }
};

TEST(SkipDmaTargetWord, NamesOneNpOrAColumnRange) {
  EXPECT_EQ(format_skipdma_target_word({np(2, 1, 1)}), 0x02010022u);
  EXPECT_EQ(format_skipdma_target_word({np(5, 1), np(3, 2, 3), np(4, 4)}), 0x05030001u);
  EXPECT_EQ(thrown<std::runtime_error>([] { format_skipdma_target_word({np(2, 1, 4)}); }), overflow(16, 4));
  EXPECT_THROW(format_skipdma_target_word({}), std::invalid_argument);
}

TEST(SkipDmaLoadRegisters, KeepEarlierWritesAndChangeNothingOnFailure) {
  SkipDmaRegisters regs{{4097, {7}}};
  format_skipdma_load_registers(regs, 1, 5, 3, {np(2, 1, 1)}, 12);  // descriptor 256 + 0x1004, offset 256 + 0x102B
  const SkipDmaRegisters kLoadChannel1{{4097, {7}}, {4356, {0x02010022, 0x0300, 0x03030501}}, {4395, {12}}};
  EXPECT_EQ(regs, kLoadChannel1);
  EXPECT_THROW(format_skipdma_load_registers(regs, 2, 5, 3, {np(2, 1, 1)}, 4096), std::runtime_error);
  EXPECT_EQ(regs, kLoadChannel1);
}

TEST(SkipDmaRecording, OrdinaryStoreSendsTheOutputUnderTheRoutingStream) {
  Residual r;
  // line ceil(4 x 20 / 32) = 3, block 5 x 3 = 15; stream 2 without forwarding, so no 0x1024.
  const std::vector<Block> kStoreX{{kStoreAt, 284, {32}}, {kStoreAt, 290, {2, 2}}, {kStoreAt, 316, {0, 3, 15}},
                                   {kStoreAt, 4097, {0}}, {kStoreAt, 4390, {0x0200}}};
  EXPECT_EQ(recorded(r.x), kStoreX);
  EXPECT_TRUE(recorded(r.c1).empty());

  mapping(r.x).output_id = 255;
  EXPECT_EQ(recorded(r.x).back(), (Block{kStoreAt, 4390, {0x0000FF00}}));
  mapping(r.x).skip_store->mode = 1;  // forwards to X's one NP: 2 | 1 << 4 | row 1 | col 1
  const auto forwarding = recorded(r.x);
  EXPECT_EQ(std::vector(forwarding.begin() + 4, forwarding.end()),
            (std::vector<Block>{{kStoreAt, 4388, {0x01010012}}, {kStoreAt, 4390, {0x0000FF01}}}));
}

TEST(SkipDmaRecording, LoadDescribesTheConsumerNpsInAddressOrder) {
  Residual r;
  // NPs at columns 3 and 5; consumer 11 = 0x0B, stream 10 = 0x0A.
  const std::vector<Block> kLoadY{{kLoadAt, 3, {0x00020002}},
                                  {kLoadAt, 40, {2}},
                                  {kLoadAt, 4097, {0}},
                                  {kLoadAt, 4100, {0x05030001, 0x00000B00, 0x0B0B0A01}},
                                  {kLoadAt, 4139, {0}}};
  EXPECT_EQ(recorded(r.y), kLoadY);

  const auto addresses = [&](uint8_t channel) {
    mapping(r.y).skipdma_loads[0].ident.channel = channel;
    std::vector<uint16_t> out;
    for (const Block& block : recorded(r.y)) out.push_back(block.address);
    return out;
  };
  EXPECT_EQ(addresses(16), (std::vector<uint16_t>{4097, 4099, 4136, 8196, 8235}));
  EXPECT_EQ(addresses(250), (std::vector<uint16_t>{2564, 2603, 4097, 64003, 64040}));  // wraps at 16 bits
}

TEST(SkipDmaRecording, DualOutputStoreSendsTheInputUnderItsOwnStream) {
  Residual r;
  LayerMapping& y = mapping(r.y);
  y.merge_info->dual_output = true;
  y.merge_info->dual_output_channel_id = 20;
  y.skipdma_stores = {kStore};
  // Y's input 20x5x7 at 4 bits: line 3, block 15; stream 20 = 0x14; the load's blocks follow.
  const auto all = recorded(r.y);
  ASSERT_EQ(all.size(), 10u);
  EXPECT_EQ(all[2], (Block{kStoreAt, 316, {0, 3, 15}}));
  EXPECT_EQ(all[4], (Block{kStoreAt, 4390, {0x1400}}));

  const auto record = program::new_record(kV2);
  EXPECT_EQ(thrown<std::runtime_error>([&] { record_skipdma_store(record.get(), *r.x, true, false, 0); }),
            "Skip DMA store should not be null.");
}

TEST(SkipDmaRecording, RefusesChannelsItCannotDescribe) {
  Residual r;
  LayerMapping& y = mapping(r.y);
  y.merge_info->channel_id = 256;
  EXPECT_EQ(refusal(r.y), overflow(256, 8));
  y.skip_load->concat_offset = 4096;
  y.merge_info->channel_id = 11;
  EXPECT_EQ(refusal(r.y), overflow(4096, 12));
  y.nps->push_back(skip_dma(hw::Type::DMA, 9, 0));  // no NP allocation
  EXPECT_EQ(refusal<std::invalid_argument>(r.y), "Merging layer has no CNPs.");
  y.skip_load.reset();
  EXPECT_EQ(refusal<std::invalid_argument>(r.y), "Layer 'Y' has a skip DMA load but no load information.");
  mapping(r.x).skip_store.reset();
  EXPECT_EQ(refusal<std::invalid_argument>(r.x), "Layer 'X' has a skip DMA store but no store information.");
  EXPECT_EQ(refusal<std::invalid_argument>(r.g.input()), "Layer 'input' has no layer mapping.");
  EXPECT_THROW(record_skipdma(nullptr, *r.x), std::invalid_argument);

  Net wide{4100, 1, 1};  // output rows of ceil(8 x 4100 / 32) = 1025 words
  const auto w = wide.conv("W", {wide.input()}, 1, 8);
  LayerMappingBuilder::map_standalone(w, {np(1, 1), kStore}, 1, {});
  mapping(w).skip_store = std::make_unique<SkipDmaStoreInfo>();
  EXPECT_EQ(refusal(w), overflow(1025, 10));
}

// input 20x5x3 -> C (6 channels, 8 bits, id 1) -> T (TNP-B, id 3) -> D. T loads its FIFO on
// channel 2 (stream 2 = id - 1, consumer 3 = its id) and stores on channel 1.
struct Temporal {
  explicit Temporal(int32_t fifo_size) {
    c = g.conv("C", {g.input()}, 6, 8);
    t = g.add(LayerType::BufferTempConv, {{"fifo_size", fifo_size}, {"filters", 4}}, "T", {c});
    const Layers pass{c, t, g.conv("D", {t}, 4, 8)};
    LayerMappingBuilder::build_layer_mapping(
        pass, pass, {{np(1, 1)}, {np(2, 1, 0, hw::Type::TNP_B), kStore, load}, {np(1, 3)}}, {0, 0, 1, 0});
  }
  Net g{20, 5, 3};
  hw::Component load = skip_dma(hw::Type::SKIP_DMA_LOAD, 9, 2);
  std::shared_ptr<Layer> c, t;
};

TEST(SkipDmaRecording, TemporalLayerRecordsItsFifoChannels) {
  Temporal tnp(4);
  const hw::Ident l = tnp.load.ident;
  // Store: input 20x5x6 at 8 bits, line ceil(8 x 6 / 32) = 2, block 20 x 2 = 40; it forwards to
  // C's NP (column 1), the load (9) and the store (10). Load: T's one NP at column 2, row 1.
  const std::vector<Block> kTemporalFifo4{
      {l, 512, {0x83000601}},         {l, 512, {0x83000601}},      {kStoreAt, 284, {32}},
      {kStoreAt, 290, {2, 5}},        {kStoreAt, 316, {4, 2, 40}}, {kStoreAt, 4097, {0}},
      {kStoreAt, 4388, {0x0A010001}}, {kStoreAt, 4390, {0x0201}},  {l, 515, {0x00040002}},
      {l, 4097, {0}},                 {l, 4612, {0x02010012, 0x0300, 0x03030201}}, {l, 4651, {0}}};
  EXPECT_EQ(recorded(tnp.t), kTemporalFifo4);

  EXPECT_EQ(refusal(Temporal(16).t), overflow(16, 4));
  mapping(tnp.t).layer_id = 0;
  EXPECT_EQ(refusal(tnp.t), overflow(4294967295u, 8));
  mapping(tnp.t).skipdma_loads.clear();
  EXPECT_EQ(refusal(tnp.t), "Skip DMA load should not be null.");
}

}  // namespace
}  // namespace ornix::v2
