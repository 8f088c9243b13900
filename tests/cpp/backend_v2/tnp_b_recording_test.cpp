#include "backend/v2/tnp_b_recording.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <numeric>
#include <span>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "backend/v2/tnp_b_weight_format.h"
#include "backend_v2/dma_blocks.h"
#include "backend_v2/register_format_fixtures.h"
#include "engine/layer_fixtures.h"
#include "mapping/layer_mapping_builder.h"
#include "program/thrown.h"
#include "support/fake_mapping.h"

// Golden words are worked out by hand in the comments. A TNP-B weight word is twelve bytes in
// three transfer words; byte b of a block lies in word b / 4, bits 8 (b mod 4) and up.

namespace ornix::v2 {
namespace {

using ornix::test::FakeDevice;
using ornix::test::make_layer;
using ornix::test::model_with_input;
using program::thrown;
using test::overflow;
using Words = std::vector<uint32_t>;
using Components = std::vector<hw::Component>;
using Layers = std::vector<std::shared_ptr<Layer>>;

std::vector<int8_t> counting(size_t count) {
  std::vector<int8_t> values(count);
  std::iota(values.begin(), values.end(), int8_t{0});
  return values;
}

// Rows t x 2 + c of a FIFO of 2 taps over 2 input channels, filters 0-2.
const std::vector<int8_t> kTemporal2Taps2Channels3Filters{1, 2, 3, 4, 5, 6, -1, -2, -3, 7, 8, 9};

TEST(TnpBWeightFormat, BufferTempConvContainersGoChannelByChannelThenTapByTap) {
  const auto weights = test::s8(kTemporal2Taps2Channels3Filters, Shape{1, 1, 4, 3});
  // Containers of 2 weight words (6 transfer words): (t, c) at word 6 (t + 2c), holding row 2t + c.
  const Words kFilters0To2{0x00030201, 0, 0, 0, 0, 0,   // (0, 0): row 0
                           0x00FDFEFF, 0, 0, 0, 0, 0,   // (1, 0): row 2, -1 -2 -3
                           0x00060504, 0, 0, 0, 0, 0,   // (0, 1): row 1
                           0x00090807, 0, 0, 0, 0, 0};  // (1, 1): row 3
  EXPECT_EQ(format_tnp_b_buffer_temp_conv_weights(*weights, 2, 0, 3), kFilters0To2);
  const Words kFilters1To2{0x00000302, 0, 0, 0, 0, 0, 0x0000FDFE, 0, 0, 0, 0, 0,
                           0x00000605, 0, 0, 0, 0, 0, 0x00000908, 0, 0, 0, 0, 0};
  EXPECT_EQ(format_tnp_b_buffer_temp_conv_weights(*weights, 2, 1, 2), kFilters1To2);
  EXPECT_EQ(format_tnp_b_buffer_temp_conv_weights(*weights, 0, 0, 3), Words(24, 0));

  // 25 filters: two chunks, filter 24 alone in byte 0 of the second.
  const auto wide = test::s8(counting(25), Shape{1, 1, 1, 25});
  const Words kOneTap25Filters{0x03020100, 0x07060504, 0x0B0A0908, 0x0F0E0D0C, 0x13121110, 0x17161514,
                               0x00000018, 0,          0,          0,          0,          0};
  EXPECT_EQ(format_tnp_b_buffer_temp_conv_weights(*wide, 1, 0, 25), kOneTap25Filters);
}

TEST(TnpBWeightFormat, DepthwiseChannelHoldsAtMostTwelveTaps) {
  // Twelve taps fill the channel's word (3 x (12 + 1) words in all); a thirteenth would overwrite
  // the next channel's. Channel 1 of the tensor: 1 3 5 ... 23, two's complement of -1 for tap 0.
  std::vector<int8_t> values = counting(24);
  values[1] = -1;
  const auto twelve = test::s8(values, Shape{1, 1, 12, 2});
  Words channel1(39, 0);
  channel1[0] = 0x070503FF;
  channel1[1] = 0x0F0D0B09;
  channel1[2] = 0x17151311;
  EXPECT_EQ(format_tnp_b_depthwise_buffer_temp_conv_weights(*twelve, 1, 1), channel1);
  EXPECT_EQ(format_tnp_b_depthwise_buffer_temp_conv_weights(*twelve, 0, 0), Words{});
  const auto thirteen = test::s8(counting(26), Shape{1, 1, 13, 2});
  EXPECT_EQ(thrown<std::invalid_argument>([&] { format_tnp_b_depthwise_buffer_temp_conv_weights(*thirteen, 0, 1); }),
            "A DepthwiseBufferTempConv channel holds at most 12 taps in its weight word (got 13).");
}

// The in-place form of each packer: the words it announces, then the same words and failures,
// as the packer that returns them.
TEST(TnpBWeightFormat, InPlaceFormsMatchTheReturnedWords) {
  using Format = std::function<Words(const Dense&, uint32_t, uint32_t)>;
  using Size = std::function<size_t(const Dense&, uint32_t, uint32_t)>;
  using Pack = std::function<void(const Dense&, uint32_t, uint32_t, std::span<uint32_t>)>;
  const auto fifo = [](uint32_t taps) {
    return std::tuple{
        Format([=](const Dense& w, uint32_t first, uint32_t count) {
          return format_tnp_b_buffer_temp_conv_weights(w, taps, first, count);
        }),
        Size(tnp_b_buffer_temp_conv_weight_words),
        Pack([=](const Dense& w, uint32_t first, uint32_t count, std::span<uint32_t> words) {
          pack_tnp_b_buffer_temp_conv_weights(w, taps, first, count, words);
        })};
  };
  const auto depthwise = std::tuple{Format(format_tnp_b_depthwise_buffer_temp_conv_weights),
                                    Size(tnp_b_depthwise_buffer_temp_conv_weight_words),
                                    Pack(pack_tnp_b_depthwise_buffer_temp_conv_weights)};
  const auto s8_rows = [](uint32_t rows, uint32_t filters) {
    return test::s8(counting(size_t{rows} * filters), Shape{1, 1, rows, filters});
  };
  const std::string kPastTheLast = "The filter range goes past the last filter of the weights tensor.";
  const struct {
    const char* name;
    std::tuple<Format, Size, Pack> packer;
    std::shared_ptr<Dense> weights;
    uint32_t first;
    uint32_t count;
    std::string refused;  // empty when the weights are packed
  } cases[] = {
      {"2 taps x 2 channels", fifo(2), test::s8(kTemporal2Taps2Channels3Filters, Shape{1, 1, 4, 3}), 1, 2, ""},
      {"3 taps x 2 channels, 26 filters", fifo(3), s8_rows(6, 30), 2, 26, ""},
      {"no tap", fifo(0), s8_rows(4, 3), 0, 3, ""},
      {"no filter", fifo(2), s8_rows(4, 3), 3, 0, ""},
      {"filters past the last", fifo(2), s8_rows(4, 3), 2, 2, kPastTheLast},
      {"unsigned weights", fifo(2), test::u8(std::vector<uint8_t>(12, 1), Shape{1, 1, 4, 3}), 0, 3,
       "Wrong requested type int8 for a tensor of type uint8."},
      {"depthwise 12 taps", depthwise, s8_rows(12, 4), 1, 3, ""},
      {"depthwise 5 taps, no channel", depthwise, s8_rows(5, 4), 4, 0, ""},
      {"depthwise 13 taps", depthwise, s8_rows(13, 2), 0, 1,
       "A DepthwiseBufferTempConv channel holds at most 12 taps in its weight word (got 13)."},
      {"depthwise channels past the last", depthwise, s8_rows(3, 2), 1, 2, kPastTheLast},
  };
  for (const auto& c : cases) {
    const auto& [format, size, pack] = c.packer;
    if (!c.refused.empty()) {
      EXPECT_EQ(thrown<std::exception>([&] { format(*c.weights, c.first, c.count); }), c.refused) << c.name;
      EXPECT_EQ(thrown<std::exception>([&] { size(*c.weights, c.first, c.count); }), c.refused) << c.name;
      Words untouched(64, 0);
      EXPECT_EQ(thrown<std::exception>([&] { pack(*c.weights, c.first, c.count, untouched); }), c.refused) << c.name;
      EXPECT_EQ(untouched, Words(64, 0)) << c.name;
      continue;
    }
    const Words returned = format(*c.weights, c.first, c.count);
    ASSERT_EQ(size(*c.weights, c.first, c.count), returned.size()) << c.name;
    Words in_place(returned.size(), 0);
    pack(*c.weights, c.first, c.count, in_place);
    EXPECT_EQ(in_place, returned) << c.name;
  }
}

constexpr HwVersion kV2{0xD3, 0xA2, 0x01, 0x00};
const hw::Component kStore{hw::Type::SKIP_DMA_STORE, {10, 1, 0, 1}, std::nullopt, {}};
const hw::Component kLoad{hw::Type::SKIP_DMA_LOAD, {9, 1, 0, 2}, std::nullopt, {}};

hw::Component cnp(uint8_t row) { return {hw::Type::CNP1, {1, row, 0, 0}, NpAllocation{}, {}}; }

// A TNP-B at column `col` computing filters (or channels) [start, start + count) over the whole
// 20x5 plane of `channels` input channels.
hw::Component tnp_b(uint8_t col, uint32_t start, uint32_t count, uint32_t channels) {
  const NpSpace window{0, 0, Shape{20, 5, channels}};
  return {hw::Type::TNP_B, {col, 1, 0, 0}, NpAllocation{start, count, window, window, true}, {}};
}

using test::targets;
using Block = test::DmaBlock;

// input 20x5x6 (8 bits) -> C (Conv2D 1x1, id 1) -> T (ReLU, id 3) -> D (id 4). T loads its FIFO
// on channel 2 and stores it on channel 1. T's weights count up from 0 in storage order.
struct Temporal {
  Temporal(LayerType type, int32_t fifo_size, Components nps) {
    const auto c = make_layer(LayerType::Conv2D, {{"kernel_size", 1}, {"filters", 6}, {"output_bits", 8}}, "C");
    model->add(c, {model->get_layer(0)});
    LayerParams::Values values{{"fifo_size", fifo_size}, {"activation", 1}, {"weights_bits", 8}, {"output_bits", 8}};
    if (type == LayerType::BufferTempConv) values["filters"] = 4;
    t = make_layer(type, values, "T");
    model->add(t, {c});
    const auto d = make_layer(LayerType::Conv2D, {{"kernel_size", 1}, {"filters", 4}}, "D");
    model->add(d, {t});
    const auto& shape = t->variables().get("weights")->shape();
    t->variables().set("weights", test::s8(counting(size_t{shape[2]} * shape[3]), shape));
    t->variables().set("input_shift", test::u8({1, 2, 3, 4, 5, 6}));
    t->variables().set("bias", test::s8({10, 11, 12, 13, 14, 15}));
    nps.push_back(kStore);
    nps.push_back(kLoad);
    const Layers pass{c, t, d};
    LayerMappingBuilder::build_layer_mapping(pass, pass, {{cnp(1)}, nps, {cnp(3)}}, {0, 0, 1, 0});
  }
  std::unique_ptr<program::Record> program(bool registers_only = false,
                                           const std::vector<hw::Ident>& excluded = {}) const {
    const bool depthwise = t->params()->layer_type() == LayerType::DepthwiseBufferTempConv;
    const auto recorder =
        depthwise ? record_program_depthwise_buffer_temp_conv_layer : record_program_buffer_temp_conv_layer;
    auto recorded = recorder(device, *t, nullptr, false, false, excluded, registers_only, false);
    EXPECT_EQ(recorded->version, kV2);
    return recorded;
  }
  std::vector<Block> record(bool registers_only = false, const std::vector<hw::Ident>& excluded = {}) const {
    return test::dma_blocks(*program(registers_only, excluded));
  }
  template <typename Error = std::runtime_error>
  std::string refusal() const {
    return thrown<Error>([&] { record(); });
  }

  FakeDevice device{kV2};
  std::unique_ptr<Model> model = model_with_input(20, 5, 6);
  std::shared_ptr<Layer> t;
};

// The FIFO's skip-DMA blocks: two fixed ones, six of the store, four of the load.
const std::vector<uint32_t> kSkipDma(12, 11);

std::vector<uint32_t> then(std::vector<uint32_t> first, const std::vector<uint32_t>& rest) {
  first.insert(first.end(), rest.begin(), rest.end());
  return first;
}

TEST(TnpBRecording, BufferTempConvRecordsItsFifoFirstThenRegistersWeightsShiftsAndVariables) {
  const Temporal f(LayerType::BufferTempConv, 2, {tnp_b(2, 0, 4, 6)});
  const auto program = f.record();
  ASSERT_EQ(targets(program), then(kSkipDma, {7, 1, 2, 5}));
  EXPECT_EQ(program[0].ident, kLoad.ident);
  for (size_t i = 12; i < program.size(); ++i) EXPECT_EQ(program[i].ident, (hw::Ident{2, 1, 0, 0}));

  // 4 filters over 6 channels of a padded 20x5 window, fifo 2.
  const Words& regs = program[12].words;
  ASSERT_EQ(regs.size(), 64u);
  EXPECT_EQ(regs[1], 0x10400020u);   // bit 28 | single buffer | default 0x20
  EXPECT_EQ(regs[3], 0x0301B0B3u);   // id 3 | 1 NP | ReLU, 8-bit output | 8-bit weights | 8-bit input
  EXPECT_EQ(regs[4], 0x80000002u);   // bit 31 | fifo 2
  EXPECT_EQ(regs[11], 0x00002014u);  // container 2 x ceil(4 / 24) | input container 20
  EXPECT_EQ(regs[20], 0x10000000u);  // kernel 1, no stride-2 bit
  EXPECT_EQ(regs[21], 6u);           // channels of the window
  EXPECT_EQ(regs[22], 0u);
  EXPECT_EQ(regs[26], 0x00040000u);  // 4 filters from 0
  EXPECT_EQ(regs[28], 0x00080028u);  // roundup4(6) = 8 | 8 x 20 / 4 = 40
  EXPECT_EQ(regs[29], 0x00010000u);  // one group of eight filters
  EXPECT_EQ(regs[30], 0x00030202u);  // fifo + 1 | fifo | bit 1
  EXPECT_EQ(regs[56], 0x00040000u);  // 8 x 8 x 5 x 20 / 32 = 200 words: 4 units of 64, over default bit 23
  EXPECT_EQ(regs[46], 0x00000A01u);  // sources: C (column 1) to the FIFO's store (column 10)
  EXPECT_EQ(regs[52], 0u);           // no merge fields

  // Weights (1, 1, 12, 4), value 4k + f: container (t, c) at word 6 (t + 2c) holds row 6t + c.
  const Words& weights = program[13].words;
  ASSERT_EQ(weights.size(), 72u);
  EXPECT_EQ(weights[0], 0x03020100u);   // (0, 0): row 0
  EXPECT_EQ(weights[6], 0x1B1A1918u);   // (1, 0): row 6
  EXPECT_EQ(weights[12], 0x07060504u);  // (0, 1): row 1
  EXPECT_EQ(weights[66], 0x2F2E2D2Cu);  // (1, 5): row 11
  EXPECT_EQ(program[14].words, (Words{0x04030201, 0x00000605}));
  ASSERT_EQ(program[15].words.size(), 8u);
  EXPECT_EQ(program[15].words[0], 10u << 8);
  EXPECT_EQ(program[15].words[6], 13u << 8);
}

TEST(TnpBRecording, DepthwiseNpsGetTheirOwnChannels) {
  const Temporal f(LayerType::DepthwiseBufferTempConv, 3, {tnp_b(2, 0, 4, 4), tnp_b(3, 4, 2, 2)});
  const auto program = f.record();
  ASSERT_EQ(targets(program), then(kSkipDma, {7, 1, 2, 5, 7, 1, 2, 5}));
  EXPECT_EQ(program[16].ident, (hw::Ident{3, 1, 0, 0}));

  const Words& a = program[12].words;
  EXPECT_EQ(a[3] & 0x404, 0x404u);   // channel group and bit 2
  EXPECT_EQ(a[22], 0x00040000u);     // 4 channels from 0
  const Words& b = program[16].words;
  EXPECT_EQ(b[3], 0x0302B4B7u);      // id 3 | 2 NPs | ReLU, 8-bit output | group, 8-bit weights, bit 2, 8-bit input
  EXPECT_EQ(b[4], 0x80000003u);      // fifo 3
  EXPECT_EQ(b[11], 0x00001014u);     // one-word container | input container 20
  EXPECT_EQ(b[21], 2u);
  EXPECT_EQ(b[22], 0x00020004u);     // 2 channels from 4
  EXPECT_EQ(b[26], 0x00020004u);
  EXPECT_EQ(b[28], 0x00040014u);     // roundup4(2) = 4 | 4 x 20 / 4 = 20
  EXPECT_EQ(b[29], 0x00010000u);
  EXPECT_EQ(b[30], 0x00040302u);
  EXPECT_EQ(b[56], 0x00020000u);     // 8 x 4 x 5 x 20 / 32 = 100 words: 2 units

  // Weights (1, 1, 3, 6), value 6t + ch: channel 4 taps 4 10 16, channel 5 taps 5 11 17.
  Words channels4And5(24, 0);
  channels4And5[0] = 0x00100A04;
  channels4And5[3] = 0x00110B05;
  EXPECT_EQ(program[17].words, channels4And5);
  EXPECT_EQ(program[13].words.size(), 48u);
  EXPECT_EQ(program[14].words, (Words{0x04030201, 0}));
  EXPECT_EQ(program[18].words, (Words{0x00000605, 0}));
  EXPECT_EQ(program[19].words, (Words{14u << 8, 0, 15u << 8, 0}));

  // One NP over all six channels: no channel group.
  const auto whole = Temporal(LayerType::DepthwiseBufferTempConv, 3, {tnp_b(2, 0, 6, 6)}).record()[12].words;
  EXPECT_EQ(whole[3] & 0x404, 0x004u);
  EXPECT_EQ(whole[22], 0u);
}

// The FIFO's skip-DMA blocks open the track and every NP's blocks join it: the track is sized
// once for all of them, and none moves it.
TEST(TnpBRecording, TheTrackIsSizedOnceForEveryBlock) {
  const std::pair<LayerType, Components> layers[] = {
      {LayerType::BufferTempConv, {tnp_b(2, 0, 2, 6), tnp_b(3, 2, 2, 6)}},
      {LayerType::DepthwiseBufferTempConv, {tnp_b(2, 0, 4, 4), tnp_b(3, 4, 2, 2)}},
  };
  for (const auto& [type, nps] : layers) {
    const Temporal f(type, 3, nps);
    for (const bool registers_only : {false, true}) {
      const auto program = f.program(registers_only);
      ASSERT_EQ(program->tracks.size(), 1u);
      EXPECT_EQ(program->tracks[0].words.capacity(), program->tracks[0].words.size())
          << static_cast<int>(type) << " registers only " << registers_only;
    }
  }
}

TEST(TnpBRecording, RegistersOnlyAndExcludedNps) {
  const Temporal f(LayerType::DepthwiseBufferTempConv, 3, {tnp_b(2, 0, 4, 4), tnp_b(3, 4, 2, 2)});
  const auto parked = f.record(true);
  ASSERT_EQ(targets(parked), (std::vector<uint32_t>{7, 7}));
  EXPECT_EQ(parked[1].words[3] >> 24, 0xFEu);

  const auto one = f.record(false, {hw::Ident{2, 1, 0, 0}});
  ASSERT_EQ(targets(one), then(kSkipDma, {7, 1, 2, 5}));
  EXPECT_EQ(one[12].ident, (hw::Ident{3, 1, 0, 0}));
}

TEST(TnpBRecording, FifoSizeIsBoundByItsRegisterFields) {
  EXPECT_EQ(Temporal(LayerType::BufferTempConv, 14, {tnp_b(2, 0, 4, 6)}).record()[12].words[30], 0x000F0E02u);
  EXPECT_EQ(Temporal(LayerType::BufferTempConv, 15, {tnp_b(2, 0, 4, 6)}).refusal(), overflow(16, 4));
  EXPECT_EQ(Temporal(LayerType::DepthwiseBufferTempConv, 65536, {tnp_b(2, 0, 6, 6)}).refusal(), overflow(65536, 16));
  // A depthwise layer records up to 12 taps per channel.
  EXPECT_EQ(targets(Temporal(LayerType::DepthwiseBufferTempConv, 12, {tnp_b(2, 0, 6, 6)}).record()),
            then(kSkipDma, {7, 1, 2, 5}));
  EXPECT_EQ(Temporal(LayerType::DepthwiseBufferTempConv, 13, {tnp_b(2, 0, 6, 6)}).refusal<std::invalid_argument>(),
            "A DepthwiseBufferTempConv channel holds at most 12 taps in its weight word (got 13).");
}

// Weights and variables are written straight into their tracks, in that order: a refused
// variable fails the layer with the formatter's message, after a refused weights tensor.
TEST(TnpBRecording, RefusedVariablesFailTheLayerAfterRefusedWeights) {
  const struct {
    const char* name;
    LayerType type;
    int32_t fifo_size;
    uint32_t channels;  // of the NP
    const char* variable;
    std::shared_ptr<Dense> values;
    std::string refused;
  } cases[] = {
      {"output shift 32", LayerType::BufferTempConv, 2, 4, "output_shift", test::s8({0, 0, 0, 32}),
       "32 cannot fit in a 6 bits signed integer."},
      {"bias shift 32", LayerType::BufferTempConv, 2, 4, "bias_shift", test::u8({0, 32, 0, 0}), overflow(32, 5)},
      {"depthwise output shift -33", LayerType::DepthwiseBufferTempConv, 3, 6, "output_shift",
       test::s8({0, 0, 0, 0, 0, -33}), "-33 cannot fit in a 6 bits signed integer."},
      {"depthwise 13 taps and output shift 32", LayerType::DepthwiseBufferTempConv, 13, 6, "output_shift",
       test::s8({32, 0, 0, 0, 0, 0}),
       "A DepthwiseBufferTempConv channel holds at most 12 taps in its weight word (got 13)."},
  };
  for (const auto& c : cases) {
    const Temporal f(c.type, c.fifo_size, {tnp_b(2, 0, c.channels, 6)});
    f.t->variables().set(c.variable, c.values);
    EXPECT_EQ(f.refusal<std::exception>(), c.refused) << c.name;
  }
}

TEST(TnpBRecording, Refusals) {
  const Temporal plain(LayerType::BufferTempConv, 2, {tnp_b(2, 0, 4, 6)});
  const FakeDevice device{kV2};
  const auto as_plain = [&](const Layer& layer) {
    record_program_buffer_temp_conv_layer(device, layer, nullptr, false, false, {}, false, false);
  };
  const auto unmapped = make_layer(LayerType::BufferTempConv, {{"fifo_size", 2}, {"filters", 4}}, "lone");
  EXPECT_EQ(thrown<std::invalid_argument>([&] { as_plain(*unmapped); }), "Layer 'lone' has no layer mapping.");
  layer_mapping_of(*plain.t)->nps->front().allocation.reset();
  EXPECT_EQ(plain.refusal<std::invalid_argument>(), "Layer 'T' has an NP without allocation.");
}

}  // namespace
}  // namespace ornix::v2
