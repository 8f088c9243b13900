#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "backend/v2/add_constraints.h"
#include "backend/v2/compatibility_checker.h"
#include "backend/v2/tnp_r_constraints.h"
#include "engine/layer_fixtures.h"
#include "ornix/model.h"
#include "support/fake_mesh_device.h"

namespace ornix::v2 {
namespace {

using test::make_layer;
using test::throws_text;

// The checker of a generation-2 device without NPs, with the generation's input-shift memory of
// 256 24-bit words.
struct Checker {
  Checker() { constraints.input_shift_memory_size = 256; }
  LayerMappingStatus check(const Layer& layer) const { return checker.check_layer_compatibility(layer, nullptr, {}); }

  test::FakeMeshDevice device{{0xD3, 0xA2, 1, 0}, test::empty_mesh(IpVersion::v2)};
  HardwareConstraints constraints;
  CompatibilityCheckerImpl checker{&device, &constraints};
};

std::unique_ptr<Model> model_of(const Shape& input, int32_t bits) {
  return test::model_with_input(input[0], input[1], input[2], bits);
}

const std::string kInputShiftLine =
    "This model cannot be mapped in hardware, Add input shift is out of range. The maximum is 15.";
const std::string kOutputShiftLine =
    "This model cannot be mapped in hardware, Add output shift is out of range. Should be in [ -4 , 3 ].";

// An Add of the 4x4x3 8-bit input with itself.
std::shared_ptr<Layer> add_of(Model& model, const LayerParams::Values& params, const std::string& name) {
  auto add = make_layer(LayerType::Add, params, name);
  model.add(add, {model.get_layer(0), model.get_layer(0)});
  return add;
}

template <typename T>
std::shared_ptr<const Dense> values(const std::vector<T>& v, TensorType type) {
  return Dense::copy(v.data(), v.size(), type, Shape{static_cast<uint32_t>(v.size())});
}

void set_shifts(Layer& add, const std::vector<uint8_t>& a, const std::vector<uint8_t>& b,
                const std::vector<int8_t>& output) {
  add.variables().set("a_shift", values(a, TensorType::uint8));
  add.variables().set("b_shift", values(b, TensorType::uint8));
  add.variables().set("output_shift", values(output, TensorType::int8));
}

TEST(AddConstraints, StopAtTheFirstBrokenRule) {
  const Checker v2;
  auto model = model_of({4, 4, 3}, 8);
  // Every Add here breaks the shift rule on each channel and has no outbound layer.
  const auto broken = [&](const LayerParams::Values& params, const std::string& name) {
    auto add = add_of(*model, params, name);
    set_shifts(*add, {0, 0, 0}, {16, 16, 16}, {0, 0, 0});
    return add;
  };
  EXPECT_EQ(v2.check(*broken({{"activation", 1}, {"output_bits", 4}}, "relu")),
            LayerMappingError("relu", "Add with activation is not supported in HW."));
  // The checker's own activation rule comes first.
  EXPECT_EQ(v2.check(*broken({{"activation", 2}}, "lut")),
            LayerMappingError("lut",
                              "Does not support activation type 'LUT'.\nAdd with activation is not supported in HW."));
  EXPECT_EQ(v2.check(*broken({{"output_bits", 4}}, "narrow")), LayerMappingError("narrow", "Output must be 8-bit."));
  EXPECT_EQ(v2.check(*broken({}, "gap")), LayerMappingError("gap", kInputShiftLine));
  EXPECT_EQ(v2.check(*add_of(*model, {}, "alone")), LayerMappingError("alone", "Must be followed by a merge layer."));
}

TEST(AddConstraints, ShiftsAtTheEdgesOfTheMergeShiftByte) {
  auto model = model_of({4, 4, 3}, 8);
  const auto add = add_of(*model, {}, "add");
  model->add(make_layer(LayerType::Conv2D, {{"kernel_size", 1}, {"filters", 3}}, "merge"), {add});
  // Channels 0 and 1 pass; channel 2 holds (a, b, output).
  const auto last_channel = [&](uint8_t a, uint8_t b, int8_t output) {
    set_shifts(*add, {0, 1, a}, {0, 2, b}, {0, 1, output});
    return check_add_constraints(*add);
  };
  EXPECT_EQ(last_channel(0, 15, -12), LayerMappingStatus(""));  // max 15, effective 3
  EXPECT_EQ(last_channel(15, 0, -19), LayerMappingStatus(""));  // effective -4
  EXPECT_EQ(last_channel(0, 16, -13), LayerMappingError("add", kInputShiftLine));
  EXPECT_EQ(last_channel(2, 1, -7), LayerMappingError("add", kOutputShiftLine));
  EXPECT_EQ(last_channel(1, 2, 2), LayerMappingError("add", kOutputShiftLine));  // the larger input shift counts
  // Through the checker a success carries the layer's name.
  last_channel(2, 1, 1);
  EXPECT_EQ(Checker().check(*add), LayerMappingStatus("add"));
}

TEST(AddConstraints, ChannelsAreReadUpToTheFirstBrokenOne) {
  // Outside a model an Add's variables may have any length: "b_shift" ends before channel 3.
  const auto uneven = make_layer(LayerType::Add, {}, "uneven");
  set_shifts(*uneven, {0, 0, 0, 0}, {0, 0, 0}, {0, 0, 0, 0});
  EXPECT_THAT([&] { check_add_shifts(*uneven); }, throws_text<std::runtime_error>("Coordinates are out-of-range"));
  set_shifts(*uneven, {0, 0, 20, 0}, {0, 0, 0}, {0, 0, 0, 0});
  EXPECT_EQ(check_add_shifts(*uneven), LayerMappingError("uneven", kInputShiftLine));
}

TEST(AddConstraints, OnlyTheFirstOutboundLayerIsTheMergeLayer) {
  const LayerParams::Values temporal{{"fifo_size", 1}, {"filters", 3}};
  const LayerParams::Values conv{{"kernel_size", 1}, {"filters", 3}};
  auto model = model_of({4, 4, 3}, 8);
  const auto late = add_of(*model, {}, "late");
  model->add(make_layer(LayerType::BufferTempConv, temporal, "temporal"), {late});
  model->add(make_layer(LayerType::Conv2D, conv, "conv"), {late});
  EXPECT_EQ(check_add_constraints(*late), LayerMappingError("late", "Must be followed by a merge layer."));

  const auto first = add_of(*model, {}, "first");
  model->add(make_layer(LayerType::Conv2D, conv, "conv2"), {first});
  model->add(make_layer(LayerType::BufferTempConv, temporal, "temporal2"), {first});
  EXPECT_EQ(check_add_constraints(*first), LayerMappingStatus(""));
}

// A buffered temporal convolution of `type` (fifo 2, 8-bit weights and output unless `params`
// says otherwise) after an input of that shape and bit width.
std::shared_ptr<Layer> tnp_b(LayerType type, const Shape& input, int32_t bits, const LayerParams::Values& params,
                             const std::string& name = "tnp_b") {
  LayerParams::Values values{{"fifo_size", 2}, {"weights_bits", 8}, {"output_bits", 8}};
  for (const auto& [key, value] : params) values.insert_or_assign(key, value);
  auto model = model_of(input, bits);
  auto layer = make_layer(type, values, name);
  model->add(layer, {model->get_layer(0)});
  return layer;
}

constexpr LayerType kPlain = LayerType::BufferTempConv;
constexpr LayerType kDepthwise = LayerType::DepthwiseBufferTempConv;

TEST(TnpBConstraints, LimitsAndEveryBrokenRuleOneLineInOrder) {
  Checker v2;
  // At the limits: 2048 input shifts fill the 256 words of the input-shift memory; a 16-bit
  // pixel of 2046 channels is a 1023-word skip-DMA line.
  EXPECT_EQ(v2.check(*tnp_b(kDepthwise, {64, 64, 2048}, 8, {}, "dw")), LayerMappingStatus("dw"));
  EXPECT_EQ(v2.check(*tnp_b(kPlain, {4096, 4096, 4}, 8, {{"filters", 8}}, "btc")), LayerMappingStatus("btc"));
  EXPECT_EQ(v2.check(*tnp_b(kPlain, {64, 64, 4}, 8, {{"filters", 2048}}, "btc")), LayerMappingStatus("btc"));
  EXPECT_EQ(v2.check(*tnp_b(kDepthwise, {2, 2, 2046}, 16, {})).message(), "Input should be 8-bit.");
  EXPECT_EQ(v2.check(*tnp_b(kDepthwise, {1, 4097, 1}, 8, {})).message(),
            "The maximum input height is 4096 (got 4097).");
  const auto layer = tnp_b(kPlain, {4097, 1, 2100}, 16, {{"output_bits", 4}, {"weights_bits", 4}, {"filters", 2049}});
  EXPECT_EQ(v2.check(*layer),
            LayerMappingError("tnp_b",
                              "Input should be 8-bit.\n"
                              "Output should be 8-bit.\n"
                              "The maximum input width is 4096 (got 4097).\n"
                              "The maximum input channel value is 2048 (got 2100).\n"
                              "Only 8-bit weights are supported.\n"
                              "The maximum number of filters is 2048 (got 2049).\n"
                              "The skip DMA horizontal dimension must be smaller than 1024 (got 1050).\n"
                              "Input shift exceeds memory. Maximum size is 768 bytes. (got 789 bytes)."));
  // A depthwise layer has as many filters as channels.
  EXPECT_EQ(v2.check(*tnp_b(kDepthwise, {2, 2, 2049}, 8, {})).message(),
            "The maximum input channel value is 2048 (got 2049).\n"
            "The maximum number of filters is 2048 (got 2049).\n"
            "Input shift exceeds memory. Maximum size is 768 bytes. (got 771 bytes).");
  v2.constraints.input_shift_memory_size = 2;
  EXPECT_TRUE(v2.check(*tnp_b(kDepthwise, {2, 2, 16}, 8, {})).success());
  EXPECT_EQ(v2.check(*tnp_b(kPlain, {2, 2, 17}, 8, {{"filters", 1}})).message(),
            "Input shift exceeds memory. Maximum size is 6 bytes. (got 9 bytes).");

  // A layer that leaves its weight width out holds the engine's 8 bits, as its software run
  // uses: only its 32-bit potentials are refused.
  const auto unsaid = make_layer(kPlain, {{"fifo_size", 2}, {"filters", 2}}, "unsaid");
  auto model = model_of({2, 2, 4}, 8);
  model->add(unsaid, {model->get_layer(0)});
  EXPECT_EQ(v2.check(*unsaid).to_string(), "Cannot map layer 'unsaid'. Output should be 8-bit.");
}

TEST(TnpBWeightSizes, WeightFitCountsTheWeightMemoryAndThePlainChannelContainer) {
  Checker v2;
  // 25 filters: two 24-filter chunks of 2 words, for 3 taps x 3 channels: 36 words.
  const auto plain = tnp_b(kPlain, {2, 2, 3}, 8, {{"filters", 25}});
  v2.constraints.cnp_weight_memory_size = 36;
  EXPECT_TRUE(v2.checker.is_weights_size_fit_np(*plain, 25));
  v2.constraints.cnp_weight_memory_size = 35;
  EXPECT_FALSE(v2.checker.is_weights_size_fit_np(*plain, 25));
  // 3145704 filters take 262142 words a container, 3145705 take 2^18; the depthwise form has
  // no container limit.
  v2.constraints.cnp_weight_memory_size = 0xFFFFFFFF;
  EXPECT_TRUE(v2.checker.is_weights_size_fit_np(*plain, 3145704));
  EXPECT_FALSE(v2.checker.is_weights_size_fit_np(*plain, 3145705));
  EXPECT_TRUE(v2.checker.is_weights_size_fit_np(*tnp_b(kDepthwise, {2, 2, 3}, 8, {}), 262144));
}

// A StatefulRecurrent after an input of that shape and bit width, at every limit unless
// `params` says otherwise.
std::shared_ptr<Layer> recurrent(const Shape& input, int32_t bits, const LayerParams::Values& params) {
  LayerParams::Values values{{"stateful_channels", 256}, {"out_channels", 256}, {"subsample_ratio", 128}};
  for (const auto& [key, value] : params) values.insert_or_assign(key, value);
  auto model = model_of(input, bits);
  auto layer = make_layer(LayerType::StatefulRecurrent, values, "rnn");
  model->add(layer, {model->get_layer(0)});
  return layer;
}

TEST(TnpRConstraints, PassAtEveryLimitAndEveryBrokenRuleOneLineInOrder) {
  const auto layer = recurrent({5, 1, 256}, 16, {});
  EXPECT_EQ(check_tnp_r_constraints(*layer), LayerMappingStatus("rnn"));
  EXPECT_TRUE(check_tnp_r_constraints(*recurrent({5, 1, 8}, 16, {{"subsample_ratio", 1}})).success());
  // This generation's checker does not serve the layer.
  EXPECT_EQ(Checker().check(*layer), LayerMappingError("rnn", "Unsupported layer type on Ornix v2."));
  // Parameters are unsigned: -1 is 4294967295.
  EXPECT_EQ(check_tnp_r_constraints(*recurrent({5, 1, 8}, 16, {{"stateful_channels", -1}})).message(),
            "Stateful channels exceeds max limit of 256 for TNP-R.");
  const auto all =
      recurrent({5, 2, 257}, 8, {{"stateful_channels", 257}, {"out_channels", 257}, {"subsample_ratio", 8}});
  EXPECT_EQ(check_tnp_r_constraints(*all),
            LayerMappingError("rnn",
                              "Input should be 16-bit.\n"
                              "The maximum input time is 1 (got 2).\n"
                              "The maximum input channel value is 256 (got 257).\n"
                              "Stateful channels exceeds max limit of 256 for TNP-R.\n"
                              "Output channels exceeds max limit of 256 for TNP-R.\n"
                              "Subsample_ratio must be one of [1, 4, 16, 32, 64, 128]."));
}

}  // namespace
}  // namespace ornix::v2
