#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "layer_fixtures.h"
#include "ornix/layer.h"

namespace ornix {
namespace {

using test::add_layer;
using test::make_layer;
using test::model_with_input;
using test::throws_text;
using Values = LayerParams::Values;

Values stored(const Layer& layer) {
  Values values;
  for (const std::string& key : layer.params()->keys()) values.emplace(key, layer.params()->get(key));
  return values;
}

struct CompletionRow {
  LayerType type;
  Values given;
  Values expected;  // every stored key
};

TEST(ParamDefaults, LayersStoreTheirClassDefaultsForTheKeysTheyLeaveOut) {
  const Values v1_conv{{"stride_x", 1},         {"stride_y", 1},         {"padding", 0},
                       {"pool_type", 0},        {"pooling_width", 0},    {"pooling_height", 0},
                       {"pooling_stride_x", -1}, {"pooling_stride_y", -1}, {"weights_bits", 8},
                       {"activation", 0},       {"act_bits", 0}};
  const Values v2_conv{{"kernel_stride", 1}, {"padding", 0},      {"pool_type", 0},  {"pool_size", 0},
                       {"pool_stride", -1},  {"weights_bits", 8}, {"activation", 0}, {"act_bits", 0}};
  const auto with = [](Values base, const Values& changes) {
    for (const auto& [key, value] : changes) base[key] = value;
    return base;
  };
  const Values kernel{{"kernel_width", 3}, {"kernel_height", 3}, {"filters", 4}};
  const Values input{{"input_width", 8}, {"input_height", 8}, {"input_channels", 1}};
  const std::vector<CompletionRow> rows = {
      {LayerType::InputData, input, with(input, {{"input_bits", 8}, {"input_signed", 0}})},
      {LayerType::InputConvolutional, with(kernel, input),
       with(with(v1_conv, kernel), with(input, {{"padding_value", 0}}))},
      {LayerType::Convolutional, kernel, with(v1_conv, kernel)},
      // With an activation the activation bits are 8; given values are kept.
      {LayerType::SeparableConvolutional, with(kernel, {{"activation", 1}}),
       with(v1_conv, with(kernel, {{"activation", 1}, {"act_bits", 8}}))},
      {LayerType::Convolutional, with(kernel, {{"act_bits", 2}, {"stride_x", 2}}),
       with(v1_conv, with(kernel, {{"act_bits", 2}, {"stride_x", 2}}))},
      {LayerType::FullyConnected, {{"units", 3}},
       {{"units", 3}, {"weights_bits", 8}, {"activation", 0}, {"act_bits", 0}}},
      {LayerType::Conv2D, {{"kernel_size", 3}, {"filters", 2}}, with(v2_conv, {{"kernel_size", 3}, {"filters", 2}})},
      {LayerType::InputConv2D, {{"kernel_size", 3}, {"filters", 2}, {"activation", 1}},
       with(v2_conv, {{"kernel_size", 3}, {"filters", 2}, {"activation", 1}, {"act_bits", 8}})},
      {LayerType::DepthwiseConv2D, {{"kernel_size", 3}, {"pool_stride", 5}},
       with(v2_conv, {{"kernel_size", 3}, {"pool_stride", 5}})},
      // A transposed layer doubles its input and never pools.
      {LayerType::Conv2DTranspose, {{"kernel_size", 4}, {"filters", 2}},
       {{"kernel_size", 4}, {"filters", 2}, {"kernel_stride", 2}, {"pool_type", 0}, {"weights_bits", 8},
        {"activation", 0}, {"act_bits", 0}}},
      {LayerType::Dense1D, {{"units", 5}, {"activation", 1}},
       {{"units", 5}, {"weights_bits", 8}, {"activation", 1}, {"act_bits", 8}}},
      {LayerType::DepthwiseBufferTempConv, {{"fifo_size", 2}},
       {{"fifo_size", 2}, {"weights_bits", 8}, {"activation", 0}, {"act_bits", 0}}},
      {LayerType::StatefulRecurrent, {{"out_channels", 2}}, {{"out_channels", 2}, {"activation", 0}, {"act_bits", 0}}},
      // The output bits are left out: the layers that pass their inputs on take them from these.
      {LayerType::Add, {}, {{"activation", 0}, {"act_bits", 0}}},
      {LayerType::Concatenate, {{"output_bits", 4}, {"activation", 2}},
       {{"output_bits", 4}, {"activation", 2}, {"act_bits", 8}}},
      {LayerType::Dequantizer, {}, {{"activation", 0}, {"act_bits", 0}}},
  };
  for (const CompletionRow& row : rows) {
    const auto params = LayerParams::create(row.type, row.given);
    const auto layer = Layer::create(params.get(), "layer");
    EXPECT_EQ(stored(*layer), row.expected) << static_cast<uint32_t>(row.type);
    EXPECT_EQ(params->keys().size(), row.given.size());  // the caller's set is left as it was
  }
}

TEST(ParamDefaults, MissingKeysNameTheLayer) {
  const auto conv = make_layer(LayerType::Conv2D, {{"kernel_size", 3}}, "conv");
  EXPECT_EQ(param_of(*conv, "weights_bits"), 8);
  EXPECT_THAT([&] { param_of(*conv, "fifo_size"); },
              throws_text<std::invalid_argument>("Layer conv: parameter fifo_size is required."));
  auto model = model_with_input(8, 8, 1);
  EXPECT_THAT([&] { add_layer(*model, LayerType::Conv2D, {{"kernel_size", 3}}, "conv"); },
              throws_text<std::invalid_argument>("Layer conv: parameter filters is required."));
}

}  // namespace
}  // namespace ornix
