#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "backend/v2/conv2d_recording.h"
#include "backend/v2/depthwise_recording.h"
#include "backend/v2/io_recorder.h"
#include "backend/v2/layer_recorder.h"
#include "backend/v2/tnp_b_recording.h"
#include "backend/v2/transposed_recording.h"
#include "backend_v2/dma_blocks.h"
#include "engine/layer_fixtures.h"
#include "program/thrown.h"
#include "support/fake_mapping.h"

namespace ornix::v2 {
namespace {

using ornix::test::make_layer;
using program::thrown;
using ornix::test::throws_text;
using ::testing::ElementsAreArray;

constexpr HwVersion kV2{0xD3, 0xA2, 0x01, 0x00};

// Register-write headers at the all-zero ident: address | target 8 << 16 | one word << 21.
constexpr uint32_t kWriteAt04 = 0x00280004;
constexpr uint32_t kWriteAt40 = 0x00280040;
constexpr uint32_t kWriteAt44 = 0x00280044;

class IoRecorderTest : public ::testing::Test {
 protected:
  // The one track of an SCC record for these flags and shapes; the three middle flags, set
  // here, must not reach the block.
  program::TrackWords scc(bool input_on_hrc, bool output_bits, Shape input, Shape output) const {
    const auto record = recorder.record_scc(input_on_hrc, true, true, true, output_bits, input, output);
    EXPECT_EQ(record->version, kV2);
    EXPECT_EQ(record->tracks.size(), 1u);
    return record->tracks.at(0).words;
  }
  // The word written at 0x44 for that output plane.
  uint32_t output_word(Shape output) const { return scc(false, false, Shape{1, 1, 1}, output).at(8); }

  ornix::test::FakeDevice device{kV2};
  IoRecorderImpl recorder{&device};
};

TEST_F(IoRecorderTest, SccBlockWritesControlInputAndOutputWordsInOrder) {
  const std::vector<uint32_t> kHostInput8x8x3To1x1x10{0, kWriteAt04, 0x19, 0, kWriteAt40, 3, 0, kWriteAt44, 0};
  EXPECT_THAT(scc(false, false, Shape{8, 8, 3}, Shape{1, 1, 10}), ElementsAreArray(kHostInput8x8x3To1x1x10));

  const std::vector<uint32_t> kHrcInputOutputBits{0, kWriteAt04, 0x00100018, 0, kWriteAt40, 3, 0, kWriteAt44, 0};
  EXPECT_THAT(scc(true, true, Shape{8, 8, 3}, Shape{1, 1, 10}), ElementsAreArray(kHrcInputOutputBits));
}

TEST_F(IoRecorderTest, SccOutputWordHoldsPlaneAndChannelsBelow2048) {
  EXPECT_EQ(output_word(Shape{1, 1, 1000}), 0u);
  EXPECT_EQ(output_word(Shape{1, 2, 5}), 0x0050000Au);     // one side of 1 is not a 1 x 1 plane
  EXPECT_EQ(output_word(Shape{1, 4, 2047}), 0x7FF01FFCu);  // 8188 | 2047 << 20
  EXPECT_EQ(output_word(Shape{1, 4, 2048}), 0x00002000u);  // 8192, no channel bits
  EXPECT_EQ(scc(false, false, Shape{1, 1, 0x3FFFF}, Shape{1, 1, 1}).at(5), 0x3FFFFu);
}

TEST_F(IoRecorderTest, SccRefusesValuesWiderThanTheirFields) {
  const auto error = [&](Shape input, Shape output) {
    return thrown<std::runtime_error>([&] { recorder.record_scc(false, false, false, false, false, input, output); });
  };
  EXPECT_EQ(error(Shape{1, 1, 0x40000}, Shape{1, 1, 1}), test::overflow(262144, 18));
  EXPECT_EQ(error(Shape{1, 1, 1}, Shape{2, 1, 0x100000}), test::overflow(1048576, 20));
  // 65536 x 65536 wraps to 0 in 32 bits; it must not pass as an empty plane.
  EXPECT_EQ(error(Shape{1, 1, 1}, Shape{2, 65536, 65536}), test::overflow(4294967296, 20));
}

TEST_F(IoRecorderTest, EpgListHoldsSixRegistersWithFnpFlagColumnsAndByteAndTypesAreZero) {
  const auto conv = make_layer(LayerType::Conv2D, {}, "conv");
  const RegisterWrites kConvColumns2To5{{0, 0x00021200},  {12, 0x00000010}, {16, 0x05020001},
                                        {20, 0x00000100}, {24, 0x01FE0001}, {28, 0x027FFFFF}};
  EXPECT_EQ(*recorder.record_epg(*conv, 2, 5, 1, false, true, true), kConvColumns2To5);  // last two unread

  const auto dense = make_layer(LayerType::Dense1D, {{"units", 1}}, "dense");
  const RegisterWrites kDenseHrcOnlyColumns0To3{{0, 0x00031202},  {12, 0x00000010}, {16, 0x03000001},
                                                {20, 0x0000FF00}, {24, 0xFFFE0001}, {28, 0x027FFFFF}};
  EXPECT_EQ(*recorder.record_epg(*dense, 0, 3, 0xFF, true, false, false), kDenseHrcOnlyColumns0To3);

  EXPECT_EQ(recorder.get_input_type(*conv), 0);  // one input type and one output type
  EXPECT_EQ(recorder.get_output_type(*dense, 3), 0);
}

class LayerRecorderTest : public ::testing::Test {
 protected:
  std::unique_ptr<program::Record> record(LayerType type) const {
    const auto layer = make_layer(type, {}, "layer");
    return recorder.record_layer(*layer, *layer, nullptr, false, false, {}, false, false);
  }
  auto recording(LayerType type) const {
    return [this, type] { record(type); };
  }

  ornix::test::FakeDevice device{kV2};
  HardwareConstraints constraints;
  LayerRecorderImpl recorder{&device, &constraints};
};

TEST_F(LayerRecorderTest, MergeAndDequantizerLayersRecordAnEmptyProgram) {
  for (const LayerType type : {LayerType::Add, LayerType::Concatenate, LayerType::Dequantizer}) {
    const auto program = record(type);
    ASSERT_NE(program, nullptr);
    EXPECT_TRUE(program->tracks.empty());
    EXPECT_EQ(program->fnp2_filters, nullptr);
    EXPECT_EQ(program->version, kV2);
  }
}

TEST_F(LayerRecorderTest, OtherTypesFailWithTheirNumber) {
  EXPECT_THAT(recording(LayerType::ExtractToken), throws_text<std::runtime_error>("Unsupported layer type: 18."));
  EXPECT_THAT(recording(LayerType::Convolutional), throws_text<std::runtime_error>("Unsupported layer type: 4."));
}

using NpRecorder = std::unique_ptr<program::Record> (*)(const Device&, const Layer&, std::shared_ptr<Layer>, bool, bool,
                                                        const std::vector<hw::Ident>&, bool, bool);

TEST(NpRecorders, EachRefusesLayersOfAnotherType) {
  struct Row {
    NpRecorder recorder;
    LayerType other;
    std::string message;
  };
  const std::string cnp = "Invalid layer type for CNP recording.";
  const std::string tnp_b = "Invalid layer type for TNP-B recording.";
  const std::vector<Row> rows{
      {record_program_conv2d_layer, LayerType::DepthwiseConv2D, cnp},
      {record_program_dwconv2d_layer, LayerType::Conv2D, cnp},
      {record_program_transposed_conv2d_layer, LayerType::DepthwiseConv2DTranspose, cnp},
      {record_program_transposed_dwconv2d_layer, LayerType::Conv2DTranspose, cnp},
      {record_program_buffer_temp_conv_layer, LayerType::DepthwiseBufferTempConv, tnp_b},
      {record_program_buffer_temp_conv_layer, LayerType::Conv2D, tnp_b},
      {record_program_depthwise_buffer_temp_conv_layer, LayerType::BufferTempConv, tnp_b},
  };
  const ornix::test::FakeDevice device{kV2};
  for (const Row& row : rows) {
    const auto layer = make_layer(row.other, {}, "other");
    const auto record = [&] { row.recorder(device, *layer, nullptr, false, false, {}, false, false); };
    EXPECT_EQ(thrown<std::runtime_error>(record), row.message) << static_cast<int>(row.other);
  }
}

TEST_F(LayerRecorderTest, LearningIsRefused) {
  const auto dense = make_layer(LayerType::Dense1D, {{"units", 1}}, "dense");
  EXPECT_THAT([&] { recorder.record_learning_layer(*dense, false); },
              throws_text<std::runtime_error>("Learning not implemented on v2."));
  EXPECT_THAT([&] { recorder.sync_learning_vars(dense); },
              throws_text<std::runtime_error>("Learning not implemented on v2."));
}

}  // namespace
}  // namespace ornix::v2
