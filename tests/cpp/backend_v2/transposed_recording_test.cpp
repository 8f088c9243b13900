#include "backend/v2/transposed_recording.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "backend_v2/cnp_conv_fixture.h"

// The layers under test: an 8-bit input -> Conv2DTranspose (8 filters) or
// DepthwiseConv2DTranspose, ReLU, 8-bit weights and output (cnp_conv_fixture.h). An NP
// window of 8x8 (equal to its padded window) doubles to 16x16: input container roundup4(16) =
// 16 in word 11, word 25 = 16 << 16 | 16; R = 8 bytes per padded row, row_words = 2.

namespace ornix::v2 {
namespace {

using ornix::test::make_layer;
using program::thrown;
using test::targets;
using Words = std::vector<uint32_t>;

// Channels 2 and 3 of a 4x4 depthwise kernel, 24 bytes apart: per row four weights, then two
// empty bytes; weight (column, row) of channel c is 16 (c + 1) + 4 row + column.
const Words kDwTranspose4x4x2Weights8bit{0x33323130, 0x35340000, 0x00003736, 0x3B3A3938, 0x3D3C0000, 0x00003F3E,
                                         0x43424140, 0x45440000, 0x00004746, 0x4B4A4948, 0x4D4C0000, 0x00004F4E};

// A CNP at column `col` computing filters (channels) [start, start + count) over an 8x8 window at
// (x, 0) holding `channels` channels.
hw::Component cnp(uint8_t col, uint32_t start, uint32_t count, uint32_t x, uint32_t channels) {
  return test::cnp(col, start, count, NpSpace{x, 0, Shape{8, 8, channels}});
}

struct TransposedFixture : test::CnpConvFixture {
  TransposedFixture(LayerType type, const Shape& input, std::vector<hw::Component> nps,
                    const LayerParams::Values& changes = {})
      : CnpConvFixture(transposed(type, changes), input, std::move(nps)) {}

  static std::shared_ptr<Layer> transposed(LayerType type, const LayerParams::Values& changes) {
    LayerParams::Values values{{"kernel_size", 3}, {"activation", 1}, {"weights_bits", 8}, {"output_bits", 8}};
    if (type == LayerType::Conv2DTranspose) values["filters"] = 8;
    for (const auto& [key, value] : changes) values[key] = value;
    return make_layer(type, values, "up");
  }
  NpRegisterMap registers() const {
    return format_transposed_conv2d_registers(*layer, nullptr, false, false, {}, false, false);
  }
};

TEST(TransposedRecording, Conv2DTransposeNpProgramsTheDoubledWindow) {
  // Input 12x8x4, the NP's window 8x8 at (4, 0).
  const TransposedFixture f(LayerType::Conv2DTranspose, Shape{12, 8, 4}, {cnp(3, 0, 8, 4, 4)});
  const auto program = f.record();
  ASSERT_EQ(targets(program), (std::vector<uint32_t>{7, 1, 2, 5}));

  const Words& regs = program[0].words;
  ASSERT_EQ(regs.size(), 64u);
  EXPECT_EQ(regs[3], 0x0301B0B3u);   // no depthwise bit
  EXPECT_EQ(regs[4], 0x80000040u);   // 8 x 4 / 4 words x 8 rows
  EXPECT_EQ(regs[8], 0x00080008u);   // 8 columns, 8 rows, offsets 0
  EXPECT_EQ(regs[9], 0x00040000u);   // from column 4, phases 0
  EXPECT_EQ(regs[11], 0x00006010u);  // 8 filters of 6 words | input container 16
  EXPECT_EQ(regs[20], 0x30000200u);  // kernel 3, transposed, not stride 2
  EXPECT_EQ(regs[21], 8u);
  EXPECT_EQ(regs[24], 0x00080000u);  // doubled window from column 8, row 0
  EXPECT_EQ(regs[25], 0x00100010u);  // 16 x 16
  EXPECT_EQ(regs[27], 0x00000011u);  // pool size 1, value 1, no pooling
  EXPECT_EQ(regs[28], 0x00080008u);  // R 8 | 8 words
  EXPECT_EQ(regs[29], 0x00010000u);

  EXPECT_EQ(program[1].words.size(), 4u * 18);  // 4 channels x 6 words of 100 bits x 3
  EXPECT_EQ(program[2].words, (Words{0x04030201, 0x00000000}));
  EXPECT_EQ(program[3].words.size(), 16u);

  const TransposedFixture k4(LayerType::Conv2DTranspose, Shape{12, 8, 4}, {cnp(3, 0, 8, 4, 4)}, {{"kernel_size", 4}});
  const auto program4 = k4.record();
  EXPECT_EQ(program4[0].words[11], 0x0000C010u);  // 8 filters of 12 words
  EXPECT_EQ(program4[0].words[20], 0x40000200u);
  EXPECT_EQ(program4[1].words.size(), 4u * 36);
}

TEST(TransposedRecording, StridePoolingAndWeightWidthAreNotProgrammed) {
  const TransposedFixture plain(LayerType::Conv2DTranspose, Shape{12, 8, 4}, {cnp(3, 0, 8, 4, 4)});
  const TransposedFixture other(LayerType::Conv2DTranspose, Shape{12, 8, 4}, {cnp(3, 0, 8, 4, 4)},
                                {{"kernel_stride", 1}, {"pool_type", 1}, {"pool_size", 2}, {"weights_bits", 4}});
  EXPECT_EQ(other.registers(), plain.registers());
  // The weights themselves follow "weights_bits": 4-bit weights go in the four-word form.
  EXPECT_EQ(targets(other.record()), (std::vector<uint32_t>{7, 0, 2, 5}));
}

TEST(TransposedRecording, DepthwiseTransposeNpsHoldTheirChannels) {
  TransposedFixture f(LayerType::DepthwiseConv2DTranspose, Shape{8, 8, 4},
                      {cnp(3, 0, 2, 0, 2), cnp(4, 2, 2, 0, 2)}, {{"kernel_size", 4}});
  std::vector<int8_t> weights(64);
  for (int col = 0; col < 4; ++col) {
    for (int row = 0; row < 4; ++row) {
      for (int ch = 0; ch < 4; ++ch) weights[col * 16 + row * 4 + ch] = int8_t(16 * (ch + 1) + 4 * row + col);
    }
  }
  f.layer->variables().set("weights", test::s8(weights, Shape{4, 4, 1, 4}));
  const auto program = f.record();
  ASSERT_EQ(targets(program), (std::vector<uint32_t>{7, 1, 2, 5, 7, 1, 2, 5}));

  const Words& regs = program[4].words;
  EXPECT_EQ(regs[3], 0x0302B4B7u);   // depthwise bit 2, channel group bit 10, two NPs
  EXPECT_EQ(regs[4], 0x80000020u);   // 8 x 2 / 4 words x 8 rows
  EXPECT_EQ(regs[11], 0x00004010u);  // 2 channels of two 100-bit words | input container 16
  EXPECT_EQ(regs[20], 0x40000200u);  // kernel 4, transposed
  EXPECT_EQ(regs[21], 0u);
  EXPECT_EQ(regs[22], 0x00020002u);  // 2 channels from 2
  EXPECT_EQ(regs[28], 0x00400002u);  // 4 x 8 rows x 2 words | 2 words
  EXPECT_EQ(regs[29], 0x00010000u);
  EXPECT_EQ(program[0].words[22], 0x00020000u);

  EXPECT_EQ(program[5].words, kDwTranspose4x4x2Weights8bit);
  EXPECT_EQ(program[6].words, (Words{0x00000403, 0x00000000}));  // input shifts of channels 2 and 3
  EXPECT_EQ(program[2].words, (Words{0x00000201, 0x00000000}));

  // Kernel 3, one NP holding all channels: no channel group.
  const Words all = TransposedFixture(LayerType::DepthwiseConv2DTranspose, Shape{8, 8, 4}, {cnp(3, 0, 4, 0, 4)})
                        .record()[0]
                        .words;
  EXPECT_EQ(all[3], 0x0301B0B7u);
  EXPECT_EQ(all[11], 0x00004010u);  // 4 channels of one 100-bit word
  EXPECT_EQ(all[20], 0x30000200u);
  EXPECT_EQ(all[22], 0u);
}

TEST(TransposedRecording, RegistersOnlyRecordsOneBlockPerNp) {
  for (const LayerType type : {LayerType::Conv2DTranspose, LayerType::DepthwiseConv2DTranspose}) {
    const TransposedFixture f(type, Shape{12, 8, 4}, {cnp(3, 0, 2, 0, 4), cnp(4, 2, 2, 4, 4)});
    const auto program = f.record({}, true);
    EXPECT_EQ(targets(program), (std::vector<uint32_t>{7, 7}));
    EXPECT_EQ(program[0].words[3] >> 24, 0xFEu);
  }
}

TEST(TransposedRecording, Refusals) {
  const TransposedFixture f(LayerType::Conv2DTranspose, Shape{12, 8, 4}, {cnp(3, 0, 8, 4, 4)});

  // Nothing built is read, but the input shape is.
  const auto outside = make_layer(LayerType::DepthwiseConv2DTranspose, {{"kernel_size", 3}, {"activation", 1}}, "up");
  outside->set_mapping(f.mapping);
  EXPECT_EQ(thrown<std::runtime_error>([&] {
              record_program_transposed_dwconv2d_layer(f.device, *outside, nullptr, false, false, {}, false, false);
            }),
            "Cannot get input size before it is set.");
}

}  // namespace
}  // namespace ornix::v2
