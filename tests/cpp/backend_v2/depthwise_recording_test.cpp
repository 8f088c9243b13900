#include "backend/v2/depthwise_recording.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <exception>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "backend_v2/cnp_conv_fixture.h"
#include "ornix/layers/convolution_v2.h"

// The layers under test: an 8-bit input -> DepthwiseConv2D K 3, Same padding, ReLU, 8-bit weights
// and output (cnp_conv_fixture.h), on CNPs that each hold the whole input plane. With a
// 10x10 plane: PW = PH = 10, R = roundup4(10) = 12 bytes per padded row, row_words =
// ceil(80 / 32) = 3, so word 28 = (4 x 10 x 3 = 120) << 16 | 3 and word 4 = bit 31 | 3 NC x 10.
// Word 3 of an NP: layer id << 24 | NPs << 16 | ReLU 0x8000 | 8-bit output 0x3000 | 8-bit
// weights 0xB0 | depthwise bit 2 | 8-bit input 0x3, plus the channel group's bit 10.

namespace ornix::v2 {
namespace {

using ornix::test::make_layer;
using program::thrown;
using test::cnp;
using test::overflow;
using test::ramp;
using test::targets;
using Words = std::vector<uint32_t>;

// Channel c's 3x3 weights at bytes 12c .. 12c + 8, row by row, then three empty bytes; weight
// (column, row) of channel c is 16c + 3 row + column + 1.
const Words kDepthwise3x3x4Weights8bit{0x04030201, 0x08070605, 0x00000009, 0x14131211, 0x18171615, 0x00000019,
                                       0x24232221, 0x28272625, 0x00000029, 0x34333231, 0x38373635, 0x00000039};

LayerParams::Values depthwise_params(const LayerParams::Values& changes = {}) {
  LayerParams::Values values{{"kernel_size", 3}, {"kernel_stride", 1}, {"padding", 1},      {"activation", 1},
                             {"pool_type", 0},   {"weights_bits", 8},  {"output_bits", 8}};
  for (const auto& [key, value] : changes) values[key] = value;
  return values;
}

struct DepthwiseFixture : test::CnpConvFixture {
  DepthwiseFixture(const Shape& input, std::vector<hw::Component> nps, const LayerParams::Values& changes = {})
      : CnpConvFixture(make_layer(LayerType::DepthwiseConv2D, depthwise_params(changes), "dw"), input,
                       std::move(nps)) {}
  using CnpConvFixture::CnpConvFixture;

  // Follows an Add over 64 channels: a_shift = i / 16, b_shift = output_shift = 0, so the merge
  // byte of channel i is (X = i / 16) | X << 4, or 0x80 (X <= Y) for X = 0.
  void follow_add() {
    std::vector<uint8_t> a = ramp<uint8_t>(64, 0);
    for (uint8_t& value : a) value /= 16;
    mapping->merge_info = std::make_unique<MergeLayerMapInfo>(
        MergeLayerMapInfo{.is_add = true, .channel_id = 6, .a_shift = test::u8(a),
                          .b_shift = test::u8(std::vector<uint8_t>(64, 0)),
                          .output_shift = test::s8(std::vector<int8_t>(64, 0))});
    mapping->skipdma_loads = {{hw::Type::SKIP_DMA_LOAD, {9, 1, 0, 0}, std::nullopt, {}}};
    mapping->skip_load = std::make_unique<SkipDmaLoadInfo>(SkipDmaLoadInfo{.channel_id = 5});
  }
};

// An NP over the whole width x height plane.
NpSpace plane(uint32_t width, uint32_t height, uint32_t channels) { return {0, 0, Shape{width, height, channels}}; }

TEST(DepthwiseRecording, NpWithAllChannelsHasNoChannelGroup) {
  DepthwiseFixture f(Shape{10, 10, 4}, {cnp(3, 0, 4, plane(10, 10, 4))});
  std::vector<int8_t> weights(36);
  for (int col = 0; col < 3; ++col) {
    for (int row = 0; row < 3; ++row) {
      for (int ch = 0; ch < 4; ++ch) weights[col * 12 + row * 4 + ch] = int8_t(16 * ch + 3 * row + col + 1);
    }
  }
  f.layer->variables().set("weights", test::s8(weights, Shape{3, 3, 1, 4}));
  const auto program = f.record();
  ASSERT_EQ(targets(program), (std::vector<uint32_t>{7, 1, 2, 5}));

  const Words& regs = program[0].words;
  ASSERT_EQ(regs.size(), 64u);
  EXPECT_EQ(regs[3], 0x0301B0B7u);   // bit 2 set, bit 10 clear
  EXPECT_EQ(regs[4], 0x80000078u);   // 12 x 4 / 4 words x 10 rows
  EXPECT_EQ(regs[11], 0x0000400Cu);  // 4 channels of one 100-bit word | input container 12
  EXPECT_EQ(regs[21], 0u);
  EXPECT_EQ(regs[22], 0u);
  EXPECT_EQ(regs[28], 0x00780003u);
  EXPECT_EQ(regs[29], 0x00010000u);

  EXPECT_EQ(program[1].words, kDepthwise3x3x4Weights8bit);
  EXPECT_EQ(program[2].words, (Words{0x04030201, 0x00000000}));
  EXPECT_EQ(program[3].words.size(), 8u);
  EXPECT_EQ(program[3].words[6], 3u << 8);  // bias of channel 3
}

TEST(DepthwiseRecording, NpsGetTheSlicesOfTheirOwnChannels) {
  // 64 channels: 0-31 at column 3, 32-63 at column 4; column 5 excluded. The channel offset
  // moves word 26 only, not the channel group of word 22.
  DepthwiseFixture f(Shape{10, 10, 64}, {cnp(3, 0, 32, plane(10, 10, 32)), cnp(4, 32, 32, plane(10, 10, 32)),
                                         cnp(5, 0, 64, plane(10, 10, 64))});
  f.mapping->sram_output_shift = 100;
  f.follow_add();
  const auto program = f.record({hw::Ident{5, 1, 0, 0}});
  ASSERT_GE(program.size(), 10u);
  EXPECT_EQ(targets({program.begin(), program.begin() + 10}), (std::vector<uint32_t>{7, 1, 2, 5, 10, 7, 1, 2, 5, 10}));
  for (auto rest = program.begin() + 10; rest != program.end(); ++rest) EXPECT_EQ(rest->target, 11u);
  EXPECT_EQ(program[5].ident, (hw::Ident{4, 1, 0, 0}));

  const Words& first = program[0].words;
  const Words& second = program[5].words;
  EXPECT_EQ(second[3], 0x0303B4B7u);  // three NPs in the layer, channel group bit 10
  EXPECT_EQ(first[22], 0x00200000u);   // 32 channels from 0
  EXPECT_EQ(second[22], 0x00200020u);  // 32 channels from 32
  EXPECT_EQ(first[26], 0x00200064u);   // 32 channels from 0 + 100
  EXPECT_EQ(second[26], 0x00200084u);  // 32 channels from 32 + 100
  EXPECT_EQ(second[4], 0x800003C0u);   // 12 x 32 / 4 words x 10 rows
  EXPECT_EQ(second[11], 0x0002000Cu);  // 32 channels of one 100-bit word | input container 12

  EXPECT_EQ(program[6].words.size(), 96u);  // 32 channels x 3 words
  EXPECT_EQ(program[2].words.size(), 8u);
  EXPECT_EQ(program[7].words, (Words{0x24232221, 0x28272625, 0x2C2B2A29, 0x302F2E2D, 0x34333231, 0x38373635,
                                     0x3C3B3A39, 0x403F3E3D}));  // shifts 33 to 64
  ASSERT_EQ(program[8].words.size(), 64u);
  EXPECT_EQ(program[8].words[0], 32u << 8);  // bias of channel 32
  // Merge bytes 0x80 (channels 0-15), 0x11, 0x22, 0x33 (48-63).
  EXPECT_EQ(program[4].words, (Words{0x80808080, 0x80808080, 0x80808080, 0x80808080, 0x11111111, 0x11111111,
                                     0x11111111, 0x11111111}));
  EXPECT_EQ(program[9].words, (Words{0x22222222, 0x22222222, 0x22222222, 0x22222222, 0x33333333, 0x33333333,
                                     0x33333333, 0x33333333}));
}

TEST(DepthwiseRecording, ChannelPlaneSizeMustFitSixteenBits) {
  // PW 64: row_words 16; 4 x PH x 16 is 64000 for 1000 rows, 70400 for 1100. Max pooling by 2
  // keeps the NP's output rows within their 10-bit field.
  const LayerParams::Values pooled{{"pool_type", 1}, {"pool_size", 2}, {"pool_stride", 2}};
  const DepthwiseFixture fits(Shape{64, 1000, 1}, {cnp(3, 0, 1, plane(64, 1000, 1))}, pooled);
  const Words regs = fits.record()[0].words;
  EXPECT_EQ(regs[28], 0xFA000010u);
  EXPECT_EQ(regs[4], 0x80003E80u);  // 64 x 1 / 4 words x 1000 rows
  const DepthwiseFixture too_high(Shape{64, 1100, 1}, {cnp(3, 0, 1, plane(64, 1100, 1))}, pooled);
  EXPECT_EQ(too_high.refusal(), overflow(70400, 16));
}

TEST(DepthwiseRecording, RegistersOnlyUsesNeitherWeightsNorInputShifts) {
  // Tensors of the wrong element type would fail as soon as they are formatted.
  DepthwiseFixture f(Shape{10, 10, 4}, {cnp(3, 0, 2, plane(10, 10, 2)), cnp(4, 2, 2, plane(10, 10, 2))});
  f.follow_add();
  f.layer->variables().set("weights", test::u8(std::vector<uint8_t>(36, 1), Shape{3, 3, 1, 4}));
  f.layer->variables().set("input_shift", test::s8({1, 2, 3, 4}));
  const auto program = f.record({}, true);
  EXPECT_EQ(targets(program), (std::vector<uint32_t>{7, 7}));
  EXPECT_EQ(program[1].words[3] >> 24, 0xFEu);
  EXPECT_EQ(program[1].words[22], 0x00020002u);
  EXPECT_THAT(f.refusal(), ::testing::StartsWith("Wrong requested type"));
}

// An NP's variables are written into its track after its weights and input shifts: a refused
// variable fails the layer with the formatter's message, unless the NP's weights are refused
// first or a block formatted before any track is written (the merge shifts) is; each track is
// sized once for its NPs' shifts and variables.
TEST(DepthwiseRecording, VariablesWrittenInPlaceAfterTheWeights) {
  enum class Merge { None, Add, AddWithoutBShift };
  const struct {
    const char* name;
    const char* variable;
    std::shared_ptr<Dense> values;
    int8_t weight;  // of channel 0, 4 bits
    Merge merge;
    std::string refused;  // empty when the layer is recorded
  } cases[] = {
      {"valid variables", "output_shift", test::s8({0, -32, 31, 5}), 7, Merge::None, ""},
      {"output shift 32", "output_shift", test::s8({0, 0, 0, 32}), 7, Merge::Add,
       "32 cannot fit in a 6 bits signed integer."},
      {"bias shift 32", "bias_shift", test::u8({32, 0, 0, 0}), 7, Merge::None, overflow(32, 5)},
      {"weight and output shift", "output_shift", test::s8({32, 0, 0, 0}), 8, Merge::None,
       "8 cannot fit in a 4 bits signed integer."},
      {"merge shifts and output shift", "output_shift", test::s8({32, 0, 0, 0}), 7, Merge::AddWithoutBShift,
       "Merge-layer shifts need all three shift tensors."},
  };
  for (const auto& c : cases) {
    DepthwiseFixture f(Shape{10, 10, 4}, {cnp(3, 0, 2, plane(10, 10, 2)), cnp(4, 2, 2, plane(10, 10, 2))},
                       {{"weights_bits", 4}});
    if (c.merge != Merge::None) f.follow_add();
    if (c.merge == Merge::AddWithoutBShift) f.mapping->merge_info->b_shift = nullptr;
    std::vector<int8_t> weights(36, 0);
    weights[0] = c.weight;
    f.layer->variables().set("weights", test::s8(weights, Shape{3, 3, 1, 4}));
    f.layer->variables().set(c.variable, c.values);
    const auto record = [&] {
      return f.recorder.record_layer(*f.layer, *f.layer, nullptr, false, false, {}, false, false);
    };
    if (!c.refused.empty()) {
      EXPECT_EQ(thrown<std::exception>(record), c.refused) << c.name;
      continue;
    }
    const auto program = record();
    const auto blocks = test::dma_blocks(*program);
    ASSERT_EQ(targets(blocks), (std::vector<uint32_t>{7, 0, 2, 5, 7, 0, 2, 5})) << c.name;
    // Channels 2 and 3: output shift 31 << 21 | bias 2 << 8, output shift 5 << 21 | bias 3 << 8.
    EXPECT_EQ(blocks[7].words, (Words{0x03E00200, 0, 0x00A00300, 0})) << c.name;
    for (const program::NpTrack& track : program->tracks) {
      EXPECT_EQ(track.words.capacity(), track.words.size()) << c.name;
    }
  }
}

// A built DepthwiseConv2D whose variables hold its weights but no input shifts.
class DepthwiseWithoutInputShift final : public DepthwiseConv2D {
 public:
  DepthwiseWithoutInputShift()
      : DepthwiseConv2D(*LayerParams::create(LayerType::DepthwiseConv2D, depthwise_params()), "dw") {
    own_.set("weights", Dense::create(TensorType::int8, Shape{3, 3, 1, 4}));
  }
  Variables& variables() override { return own_; }
  const Variables& variables() const override { return own_; }

 private:
  VariablesImpl own_;
};

TEST(DepthwiseRecording, Refusals) {
  const DepthwiseFixture f(Shape{10, 10, 4}, {cnp(3, 0, 4, plane(10, 10, 4))});
  const auto unbuilt = make_layer(LayerType::DepthwiseConv2D, depthwise_params(), "unbuilt");
  unbuilt->set_mapping(f.mapping);
  EXPECT_EQ(thrown<std::runtime_error>(
                [&] { record_program_dwconv2d_layer(f.device, *unbuilt, nullptr, false, false, {}, false, false); }),
            "The layer unbuilt is not built.");

  const DepthwiseFixture without_shifts(std::make_shared<DepthwiseWithoutInputShift>(), Shape{10, 10, 4},
                                        {cnp(3, 0, 4, plane(10, 10, 4))});
  EXPECT_EQ(without_shifts.refusal(), "Layer 'dw' has no input_shift variable.");
  EXPECT_EQ(targets(without_shifts.record({}, true)), (std::vector<uint32_t>{7}));
}

}  // namespace
}  // namespace ornix::v2
