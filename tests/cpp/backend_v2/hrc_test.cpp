#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "backend/v2/hrc_constraints.h"
#include "backend/v2/hrc_recording.h"
#include "backend/v2/layer_recorder.h"
#include "backend/v2/layer_type_checks.h"
#include "engine/layer_fixtures.h"
#include "backend_v2/dma_blocks.h"
#include "program/thrown.h"
#include "support/fake_mapping.h"

namespace ornix::v2 {
namespace {

using program::thrown;
using test::overflow;
using ::testing::ElementsAreArray;

constexpr HwVersion kV2{0xD3, 0xA2, 0x01, 0x00};

// An InputConv2D named "hrc" after an input of shape `input`: kernel 3, stride 1, Same
// padding, no pooling, ReLU, 8-bit output and weights, 2 filters, every weight 1; `changes`
// replace or add parameters.
struct Hrc {
  explicit Hrc(const LayerParams::Values& changes, Shape input = Shape{8, 8, 1})
      : model(ornix::test::model_with_input(input[0], input[1], input[2])) {
    LayerParams::Values params{{"kernel_size", 3}, {"kernel_stride", 1}, {"padding", 1},     {"pool_type", 0},
                               {"pool_size", 0},   {"pool_stride", 0},   {"output_bits", 8}, {"activation", 1},
                               {"filters", 2},     {"weights_bits", 8}};
    for (const auto& [key, value] : changes) params[key] = value;
    layer = ornix::test::add_layer(*model, LayerType::InputConv2D, params, "hrc");
    set_weights([](uint32_t, uint32_t, uint32_t, uint32_t) { return 1; });
  }

  // weight(row, column, channel, filter) for every weight.
  void set_weights(const std::function<int(uint32_t, uint32_t, uint32_t, uint32_t)>& weight) const {
    const Shape s = layer->variables().get("weights")->shape();  // (K, K, channels, filters), row-major
    auto weights = Dense::create(TensorType::int8, s);
    for (uint32_t i = 0; i < weights->size(); ++i) {
      weights->data<int8_t>()[i] = static_cast<int8_t>(weight(i / s[3] / s[2] / s[1], i / s[3] / s[2] % s[1],
                                                              i / s[3] % s[2], i % s[3]));
    }
    layer->variables().set("weights", weights);
  }
  template <typename T>
  void set(const std::string& name, TensorType type, const std::vector<T>& data) const {
    layer->variables().set(name, Dense::copy(data.data(), data.size() * sizeof(T), type,
                                             Shape{static_cast<uint32_t>(data.size())}));
  }
  std::string check() const { return check_input_conv2d_constraints(*layer).message(); }
  std::unique_ptr<program::Record> record() const { return record_program_input_conv2d_layer(device, *layer); }
  std::string recording_error() const { return thrown<std::runtime_error>([this] { record(); }); }

  std::unique_ptr<Model> model;
  std::shared_ptr<Layer> layer;
  ornix::test::FakeDevice device{kV2};
};

const std::string kKernel6 = "Unsupported kernel size.\n The kernel size should be 3, 4, 5 or 7. 6 given.";
const std::string kRows385 =
    "Unsupported input size. Received: 385 as second dimension.\n The second dimension should be between 5 and 384.";

// One change to the accepted layer (and its input) and the lines the check gives.
struct Rule {
  LayerParams::Values changes;
  std::string lines;
  Shape input = Shape{8, 8, 1};
};

const std::vector<Rule> kRules{
    {{{"kernel_size", 6}}, kKernel6},
    {{{"kernel_size", 6}, {"kernel_stride", 7}},
     kKernel6 + "\nFor a kernel size 6, the kernel stride must be smaller than 6."},
    {{{"kernel_size", 7}, {"kernel_stride", 6}}, ""},
    {{{"kernel_size", 3}, {"kernel_stride", 4}}, "For a kernel size 3, the kernel stride must be smaller than 3."},
    {{{"pool_type", 1}, {"pool_size", 3}, {"pool_stride", 2}}, ""},
    {{{"pool_type", 1}, {"pool_size", 3}, {"pool_stride", 3}},
     "Unsupported max-pooling size, max-pooling stride combinaison. The only supported combinaison of "
     "(Pool_size, Pool_stride) are :(2, 2) or (3, 2). Received (3, 3)."},
    {{{"pool_type", 2}, {"pool_size", 4}, {"pool_stride", 4}}, ""},
    {{}, "", Shape{5, 384, 1}},
    {{}, kRows385, Shape{8, 385, 3}},
    {{}, "Unsupported input size. Received: 4 as first dimension.\n The first dimension should be >= 5.\n"
         "Unsupported input size. Received: 4 as second dimension.\n The second dimension should be between 5 and 384.",
     Shape{4, 4, 1}},
    // Without activation the output and LUT rules are not asked.
    {{{"activation", 0}, {"output_bits", 16}},
     "The first convolutional layer of a model can only be mapped if its activations are enabled."},
    {{{"output_bits", 4}}, ""},
    {{{"activation", 2}, {"output_bits", 4}, {"pool_type", 1}, {"pool_size", 2}, {"pool_stride", 2}},
     "4-bit activation is not supported with LUT.\nMax pooling is not supported with activation LUT."},
    {{{"activation", 2}, {"pool_type", 2}, {"pool_size", 2}, {"pool_stride", 2}},
     "Max pooling is not supported with activation LUT."},
    {{{"filters", 512}}, ""},
    {{{"filters", 513}}, "The filters number should be set between 1 and 512. 513 given."},
    {{{"kernel_size", 6}, {"filters", 513}, {"weights_bits", 16}},
     kKernel6 + "\nThe filters number should be set between 1 and 512. 513 given.\nOnly 8-bit weigths are supported."},
};

TEST(HrcConstraints, EachRuleGivesItsLines) {
  for (const Rule& rule : kRules) {
    const LayerMappingStatus expected =
        rule.lines.empty() ? LayerMappingStatus("hrc") : LayerMappingError("hrc", rule.lines);
    EXPECT_EQ(check_input_conv2d_constraints(*Hrc(rule.changes, rule.input).layer), expected) << rule.lines;
  }
}

TEST(HrcConstraints, OutputBitsThroughTheCheckerAndWeightValues) {
  EXPECT_EQ(check_layer_type_constraints(HardwareConstraints{}, *Hrc({{"output_bits", 16}}).layer, nullptr),
            LayerMappingError("hrc", "Output should be 4-bit or 8-bit. 16 given."));
  const Hrc zeros({});
  zeros.set_weights([](uint32_t, uint32_t, uint32_t, uint32_t) { return 0; });
  EXPECT_EQ(zeros.check(), "All weights cannot be zeroes.");
  const Hrc last_only({});
  last_only.set_weights([](uint32_t r, uint32_t c, uint32_t, uint32_t f) { return r + c + f == 5 ? -1 : 0; });
  EXPECT_EQ(last_only.check(), "");
  const Hrc unsigned_weights({});
  unsigned_weights.layer->variables().set("weights", Dense::create(TensorType::uint8, Shape{3, 3, 1, 2}));
  EXPECT_THAT([&] { unsigned_weights.check(); },
              ornix::test::throws_text<std::runtime_error>("Wrong requested type int8 for a tensor of type uint8."));
}

// The blocks of a record, as (address, target, payload); all address the all-zero ident.
struct Block {
  uint32_t address;
  uint32_t target;
  std::vector<uint32_t> payload;
  bool operator==(const Block&) const = default;
};
std::vector<Block> blocks_of(const program::Record& record) {
  std::vector<Block> blocks;
  for (const auto& block : test::dma_blocks(record)) {
    EXPECT_EQ(block.ident, hw::Ident{});
    blocks.push_back({block.address, block.target, block.words});
  }
  return blocks;
}

TEST(HrcRecording, ReluLayerRegistersWeightsActivationsAndStart) {
  // 3x3 kernel, 1 channel, 2 filters, Same padding (1 on each side), max pooling 2 / 2.
  const Hrc hrc({{"pool_type", 1}, {"pool_size", 2}, {"pool_stride", 2}});
  hrc.set_weights([](uint32_t r, uint32_t c, uint32_t, uint32_t f) { return f == 0 ? int(r * 3 + c + 1) : -1; });
  hrc.set("padding_value", TensorType::uint8, std::vector<uint8_t>{0x80});
  hrc.set("output_shift", TensorType::int8, std::vector<int8_t>{-1, 5});
  hrc.set("output_scales", TensorType::uint8, std::vector<uint8_t>{3, 0x80});
  hrc.set("bias_shift", TensorType::uint8, std::vector<uint8_t>{2, 31});
  hrc.set("bias", TensorType::int8, std::vector<int8_t>{-2, 127});
  const std::vector<uint32_t> kConv3x3x1x2ReluMaxPool2{
      0, 0x00A80008, 0x22031701, 0x02020101, 0x00000080, 0x00001111, 0x00010000,  // configuration
      0, 0x00280020, 0x00000001,                                                   // select R
      0, 0x00C90028, 0x04030201, 0x08070605, 0x00000009, 0xFFFFFFFF, 0xFFFFFFFF, 0x000000FF,
      0, 0x00280020, 0x80000000,                                                   // select activations
      0, 0x00890028, 0x000000FF, 0x000FE100, 0x00002005, 0x0007FF80,
      0, 0x00280008, 0x22031700,  // loading done
      0, 0x00280000, 0x00000001,  // start
      0, 0x00280000, 0x00000000};
  const auto record = hrc.record();
  EXPECT_EQ(record->version, kV2);
  ASSERT_EQ(record->tracks.size(), 1u);
  EXPECT_THAT(record->tracks[0].words, ElementsAreArray(kConv3x3x1x2ReluMaxPool2));

  const LayerRecorderImpl recorder(&hrc.device, nullptr);
  EXPECT_EQ(recorder.record_layer(*hrc.layer, *hrc.layer, nullptr, false, false, {}, false, false)->tracks[0].words,
            kConv3x3x1x2ReluMaxPool2);
}

TEST(HrcRecording, LutLayerLoadsThreePlanesThenTableThenLutParameters) {
  // 3x3 kernel, 3 channels, 1 filter, Valid padding, stride 2, no pooling.
  const Hrc hrc({{"activation", 2}, {"filters", 1}, {"padding", 0}, {"kernel_stride", 2}}, Shape{8, 8, 3});
  hrc.set_weights([](uint32_t r, uint32_t c, uint32_t ch, uint32_t) { return int(ch * 16 + r * 3 + c + 1); });
  hrc.set("padding_value", TensorType::uint8, std::vector<uint8_t>{1, 2, 3});
  std::vector<int32_t> lut(2048, 0);
  lut[0] = -1;
  lut[1] = 5;
  lut[2047] = -8192;
  hrc.set("lut_values", TensorType::int32, lut);
  hrc.set("output_scales", TensorType::uint8, std::vector<uint8_t>{2});
  hrc.set("bias", TensorType::int8, std::vector<int8_t>{-1});
  hrc.set("bias_shift", TensorType::uint8, std::vector<uint8_t>{17});
  hrc.set("output_shift", TensorType::int8, std::vector<int8_t>{-2});
  hrc.set("activation_shift", TensorType::int8, std::vector<int8_t>{3});
  hrc.set("activation_scales", TensorType::uint8, std::vector<uint8_t>{4});
  std::vector<uint32_t> kLutWords(2048, 0);
  kLutWords[0] = 0x3FFF;
  kLutWords[1] = 5;
  kLutWords[2047] = 0x2000;
  const std::vector<Block> kConv3x3x3x1Lut{
      {8, 8, {0x0030AB01, 0x00000202, 0x00030201, 0, 0}},
      {0x20, 8, {1}},
      {0x28, 9, {0x04030201, 0x08070605, 0x09}},
      {0x20, 8, {2}},
      {0x28, 9, {0x14131211, 0x18171615, 0x19}},
      {0x20, 8, {4}},
      {0x28, 9, {0x24232221, 0x28272625, 0x29}},
      {0x20, 8, {0x20000000}},
      {0x28, 9, kLutWords},
      {0x20, 8, {0x80000000}},
      {0x28, 9, {0x0001FF02, 0x000081FD}},
      {8, 8, {0x0030AB00}},
      {0, 8, {1}},
      {0, 8, {0}}};
  const auto record = hrc.record();
  EXPECT_EQ(record->tracks.size(), 2u);  // the 2048-word table needs an extra-large block of its own
  EXPECT_EQ(blocks_of(*record), kConv3x3x3x1Lut);
}

// Configuration word `index` of the layer's record.
uint32_t config_word(const Hrc& hrc, std::size_t index) { return blocks_of(*hrc.record()).at(0).payload.at(index); }

TEST(HrcRecording, ConfigurationFields) {
  // 7x7, 4-bit, no activation, 1 channel, Valid, no pooling.
  EXPECT_EQ(config_word(Hrc({{"kernel_size", 7}, {"output_bits", 4}, {"activation", 0}, {"padding", 0}}), 0),
            0x00303231u);
  // 4x4 Same over 8 pads 1 before and 2 after; 64 filters; max pooling 3 / 2.
  const Hrc k4({{"kernel_size", 4}, {"filters", 64}, {"pool_type", 1}, {"pool_size", 3}, {"pool_stride", 2}});
  k4.set("padding_value", TensorType::uint8, std::vector<uint8_t>{200});
  const std::vector<uint32_t> kK4Words{0x33031711, 0x02020101, 0x000000C8, 0x00002121, 0x003F0000};
  EXPECT_EQ(blocks_of(*k4.record()).at(0).payload, kK4Words);
  // Global pooling: size and stride -1 are written as 0.
  const Hrc global({{"pool_type", 1}, {"pool_size", -1}, {"pool_stride", -1}});
  EXPECT_EQ(config_word(global, 0), 0x00031701u);
  EXPECT_EQ(config_word(global, 1), 0x00000101u);
}

TEST(HrcRecording, RefusesWhatTheHrcCannotRun) {
  EXPECT_EQ(Hrc({{"kernel_size", 6}}).recording_error(), "Wrong kernel size at HRC recording.");
  EXPECT_EQ(Hrc({{"output_bits", 16}}).recording_error(),
            "Wrong output bitwidth when programming HRC: 16-bit found\nonly 8-bit and 4-bit are supported.");
  EXPECT_EQ(Hrc({{"activation", 3}}).recording_error(), "Wrong activation at HRC recording.");
  EXPECT_EQ(Hrc({}, Shape{8, 8, 2}).recording_error(), "Wrong number of channles at HRC recording.");
  EXPECT_EQ(thrown<std::invalid_argument>([] { Hrc({{"activation", 2}}).record(); }),
            "A lookup-table activation needs its lookup table tensor.");
  // Average pooling passes the check but the HRC cannot pool that way.
  const Hrc average({{"pool_type", 2}, {"pool_size", 2}, {"pool_stride", 2}});
  EXPECT_EQ(average.check(), "");
  EXPECT_EQ(average.recording_error(), "Wrong pooling at HRC recording.");

  EXPECT_EQ(Hrc({{"pool_type", 1}, {"pool_size", 16}, {"pool_stride", 2}}).recording_error(), overflow(16, 4));
  EXPECT_EQ(Hrc({{"filters", 513}}).recording_error(), overflow(512, 9));
}

}  // namespace
}  // namespace ornix::v2
