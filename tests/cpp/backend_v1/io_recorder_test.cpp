#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "backend/v1/io_recorder.h"
#include "backend_v1/v1_layers.h"
#include "backend_v2/dma_blocks.h"
#include "program/thrown.h"
#include "support/fake_mapping.h"

namespace ornix::v1::test {
namespace {

using program::thrown;
using v2::test::DmaBlock;
using v2::test::overflow;
using Words = std::vector<uint32_t>;
using T = LayerType;

struct IoDevices {
  ornix::test::FakeDevice a1{kA1};
  ornix::test::FakeDevice vamo_v2{kVamoV2};
  IoRecorderImpl on_a1{&a1};
  IoRecorderImpl on_vamo_v2{&vamo_v2};
};

// A register write of one word at `address` of the all-zero ident.
DmaBlock write_at(uint32_t address, uint32_t word) { return {{}, 8, address, {word}}; }

TEST(V1IoRecorder, SccWritesTheControlWordThenTheInputAndOutputWordsOfType0) {
  const IoDevices io;
  const auto scc = [&](bool hrc, bool in0, bool hrc_only, bool out0, Shape input, Shape output) {
    const auto record = io.on_a1.record_scc(hrc, in0, hrc_only, out0, true, input, output);
    EXPECT_EQ(record->version, kA1);
    return v2::test::dma_blocks(*record);
  };
  struct Case {
    bool hrc, in0, hrc_only, out0;
    Shape input, output;
    std::vector<DmaBlock> expected;
  };
  const std::vector<Case> cases{
      // [0] not from the HRC | [3] output type 0 | [4] input type 0 | [8] HRC only.
      {true, false, false, false, {8, 8, 3}, {4, 4, 2}, {write_at(0x04, 0)}},
      {false, false, false, false, {8, 8, 3}, {4, 4, 2}, {write_at(0x04, 0x001)}},
      {true, false, true, false, {8, 8, 3}, {4, 4, 2}, {write_at(0x04, 0x100)}},
      {false, true, false, false, {8, 8, 3}, {4, 4, 2}, {write_at(0x04, 0x011), write_at(0x40, 3)}},
      // Output 4 x 4 x 2: 2 channels x 4 rows | 2 << 20.
      {true, false, false, true, {8, 8, 3}, {4, 4, 2}, {write_at(0x04, 0x008), write_at(0x44, 0x00200008)}},
      {false, true, true, true, {8, 8, 0x3FFFF}, {1, 1, 2047},
       {write_at(0x04, 0x119), write_at(0x40, 0x3FFFF), write_at(0x44, 0)}},
      {false, true, true, true, {8, 8, 1}, {1, 2, 2047},
       {write_at(0x04, 0x119), write_at(0x40, 1), write_at(0x44, 0x7FF00FFE)}},
  };
  for (size_t i = 0; i < cases.size(); ++i) {
    const Case& c = cases[i];
    EXPECT_EQ(scc(c.hrc, c.in0, c.hrc_only, c.out0, c.input, c.output), c.expected) << "case " << i;
  }
}

TEST(V1IoRecorder, SccRefusesValuesWiderThanTheirFields) {
  const IoDevices io;
  const auto error = [&](Shape input, Shape output) {
    return thrown<std::runtime_error>([&] { io.on_a1.record_scc(false, true, false, true, false, input, output); });
  };
  EXPECT_EQ(error({1, 1, 0x40000}, {1, 1, 1}), overflow(0x40000, 18));
  EXPECT_EQ(error({1, 1, 1}, {4, 4, 2048}), overflow(2048, 11));
  EXPECT_EQ(error({1, 1, 1}, {2, 513, 2047}), overflow(2047 * 513, 20));
  // 2047 x 2^21 rows wraps in 32 bits; it must not pass as a small plane.
  EXPECT_EQ(error({1, 1, 1}, {2, 1u << 21, 2047}), overflow(uint64_t{2047} << 21, 20));
  // Without type 0 the shapes are not written.
  EXPECT_EQ(io.on_a1.record_scc(false, false, false, false, false, {1, 1, 0x40000}, {4, 4, 2048})->tracks.size(),
            1u);
}

TEST(V1IoRecorder, EpgListHoldsSixRegistersAndMarksAFlatFullyConnectedInput) {
  const IoDevices io;
  std::unique_ptr<Model> model;
  const auto conv = v1_layer(model, T::Convolutional, {8, 8, 4}, {});
  const RegisterWrites kConvColumns2To5SeveralPassesType0{{0x00, 0x00021200}, {0x0C, 0x012C0010},
                                                          {0x10, 0x05020001}, {0x14, 0x00000100},
                                                          {0x18, 0x01FE0001}, {0x1C, 0x027FFFFF}};
  EXPECT_EQ(*io.on_a1.record_epg(*conv, 2, 5, 1, false, true, true), kConvColumns2To5SeveralPassesType0);

  const auto flat = v1_layer(model, T::FullyConnected, {1, 1, 100}, {});
  const RegisterWrites kFlatDenseColumns0To3{{0x00, 0x00020202}, {0x0C, 0x00000010}, {0x10, 0x03000001},
                                             {0x14, 0x0000FF00}, {0x18, 0xFFFE0001}, {0x1C, 0x027FFFFF}};
  EXPECT_EQ(*io.on_vamo_v2.record_epg(*flat, 0, 3, 0xFF, true, false, false), kFlatDenseColumns0To3);
  const auto plane = v1_layer(model, T::FullyConnected, {2, 1, 100}, {});
  EXPECT_EQ(io.on_vamo_v2.record_epg(*plane, 0, 3, 0xFF, false, false, false)->front().second, 0x00020200u);
}

// input 1 x 1 x 8 -> Convolutional (1 x 1 kernel) -> FullyConnected: a dense layer fed by a CNP.
std::shared_ptr<Layer> dense_after_conv(std::unique_ptr<Model>& model) {
  const auto conv = v1_layer(model, T::Convolutional, {1, 1, 8}, {{"kernel_width", 1}, {"kernel_height", 1}});
  return ornix::test::add_layer(*model, T::FullyConnected, base_params(T::FullyConnected), "dense");
}

TEST(V1IoRecorder, InputTypeIs0BelowTheChannelLimitOnA1AndFollowsTheLayerOnProduct0) {
  const IoDevices io;
  std::unique_ptr<Model> model;
  struct Case {
    std::string what;
    std::shared_ptr<Layer> layer;  // keeps its inbound layers alive
    int8_t on_a1;
    int8_t on_vamo_v2;
  };
  const std::vector<Case> cases{
      {"hrc", v1_layer(model, T::InputConvolutional, {}, {}), 0, 0},
      {"flat dense", v1_layer(model, T::FullyConnected, {1, 1, 100}, {}), 0, 1},
      {"plane dense", v1_layer(model, T::FullyConnected, {4, 4, 4}, {}), 0, 2},
      {"dense after a CNP", dense_after_conv(model), 0, 2},
      {"conv", v1_layer(model, T::Convolutional, {8, 8, 4}, {}), 0, 2},
      {"separable", v1_layer(model, T::SeparableConvolutional, {8, 8, 4}, {}), 0, 2},
      // From 2^18 input channels on, the A1 too goes by the layer's type.
      {"wide flat dense", v1_layer(model, T::FullyConnected, {1, 1, 0x40000}, {{"units", 1}}), 1, 1},
      {"wide conv", v1_layer(model, T::Convolutional, {1, 1, 0x40000}, {{"filters", 1}}), 2, 2},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(io.on_a1.get_input_type(*c.layer), c.on_a1) << c.what;
    EXPECT_EQ(io.on_vamo_v2.get_input_type(*c.layer), c.on_vamo_v2) << c.what;
  }

  const auto dense1d = ornix::test::add_layer(*ornix::test::model_with_input(4, 4, 4), T::Dense1D, {{"units", 4}});
  EXPECT_EQ(io.on_a1.get_input_type(*dense1d), 0);
  EXPECT_EQ(thrown<std::runtime_error>([&] { io.on_vamo_v2.get_input_type(*dense1d); }), "Unsupported layer type.");
}

TEST(V1IoRecorder, OutputTypeIs0OnlyStraightOutOfA1AndOtherwiseNamesTheProcessor) {
  const IoDevices io;
  std::unique_ptr<Model> model;
  const auto conv = v1_layer(model, T::Convolutional, {8, 8, 4}, {{"filters", 10}});
  const auto quiet = v1_layer(model, T::Convolutional, {8, 8, 4}, {{"filters", 10}, {"activation", 0}});
  const auto sep = v1_layer(model, T::SeparableConvolutional, {8, 8, 4}, {});
  const auto dense = v1_layer(model, T::FullyConnected, {4, 4, 4}, {});
  const auto wide = v1_layer(model, T::FullyConnected, {4, 4, 4}, {{"units", 2048}});
  const auto hrc = v1_layer(model, T::InputConvolutional, {}, {});
  struct Case {
    std::string what;
    const Layer& layer;
    int8_t input_type;
    int8_t on_a1;
    int8_t on_vamo_v2;
  };
  const std::vector<Case> cases{
      {"conv", *conv, 0, 0, 2},          {"conv, input type 2", *conv, 2, 2, 2},
      {"conv without activation", *quiet, 0, 2, 2},
      {"separable", *sep, 0, 0, 2},      {"dense", *dense, 0, 0, 1},
      {"dense, input type 1", *dense, 1, 1, 1},
      {"dense of 2048 units", *wide, 0, 1, 1},
      {"hrc", *hrc, 0, 3, 3},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(io.on_a1.get_output_type(c.layer, c.input_type), c.on_a1) << c.what;
    EXPECT_EQ(io.on_vamo_v2.get_output_type(c.layer, c.input_type), c.on_vamo_v2) << c.what;
  }
  const auto dense1d = ornix::test::add_layer(*ornix::test::model_with_input(4, 4, 4), T::Dense1D, {{"units", 4}});
  EXPECT_EQ(thrown<std::runtime_error>([&] { io.on_a1.get_output_type(*dense1d, 0); }), "Unsupported layer type.");
}

}  // namespace
}  // namespace ornix::v1::test
