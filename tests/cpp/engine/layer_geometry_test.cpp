#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "layer_fixtures.h"
#include "ornix/layer_geometry.h"

// Output geometry of each layer family, worked out by hand from the convolution arithmetic:
// valid: (size - kernel) / stride + 1; same: ceil(size / stride), padding
// (out - 1) x stride + kernel - size with the smaller half before.

namespace ornix {
namespace {

using ::testing::ElementsAre;
using test::add_layer;
using test::dims;
using test::make_layer;
using test::model_with_input;
using test::throws_text;

struct VariableCase {
  std::string name;
  TensorType type;
  std::vector<uint32_t> shape;
  Layout layout = Layout::RowMajor;
};

struct GeometryCase {
  std::vector<uint32_t> input;  // width, height, channels
  LayerType type;
  LayerParams::Values params;
  std::vector<uint32_t> output;
  std::vector<uint32_t> conv_words{};
  std::optional<PoolingCalculatedParams> pool{};
  std::vector<VariableCase> variables{};
};

const std::vector<GeometryCase> kGeometry{
    {{9, 7, 2}, LayerType::Conv2D, {{"kernel_size", 3}, {"kernel_stride", 2}, {"filters", 4}}, {4, 3, 4},
     {4, 3, 4, 3, 0, 0, 0, 0}},
    // Width 8: 4 positions need 9 columns, one after. Height 5: 3 positions need 7 rows.
    {{8, 5, 1}, LayerType::Conv2D, {{"kernel_size", 3}, {"kernel_stride", 2}, {"padding", 1}, {"filters", 2}},
     {4, 3, 2}, {4, 3, 2, 3, 1, 1, 0, 1}, PoolingCalculatedParams{1, 1, 4, 3, {}, false},
     {{"weights", TensorType::int8, {3, 3, 1, 2}}, {"input_shift", TensorType::uint8, {1}}}},
    // Max pooling pads like the convolution.
    {{7, 7, 1}, LayerType::Conv2D,
     {{"kernel_size", 3}, {"padding", 1}, {"filters", 2}, {"pool_type", 1}, {"pool_size", 2}, {"pool_stride", 2}},
     {4, 4, 2}, {}, PoolingCalculatedParams{2, 2, 4, 4, {0, 1, 0, 1}, true}},
    // Generation-1 average pooling takes its strides from the size.
    {{10, 10, 1}, LayerType::Convolutional,
     {{"kernel_width", 3}, {"kernel_height", 3}, {"filters", 8}, {"weights_bits", 4}, {"pool_type", 2},
      {"pooling_width", 2}, {"pooling_height", 2}, {"pooling_stride_x", -1}, {"pooling_stride_y", -1}},
     {4, 4, 8}, {8, 8, 8, 8, 0, 0, 0, 0}, PoolingCalculatedParams{2, 2, 4, 4, {}, true},
     {{"weights", TensorType::int4, {8, 1, 3, 3}, Layout::Reversed}, {"threshold", TensorType::int32, {8}}}},
    // Global pooling keeps the convolution's rows.
    {{5, 5, 4}, LayerType::SeparableConvolutional,
     {{"kernel_width", 3}, {"kernel_height", 3}, {"padding", 1}, {"filters", 6}, {"weights_bits", 2},
      {"pool_type", 2}, {"pooling_width", -1}},
     {1, 1, 6}, {5, 5, 6, 5, 1, 1, 1, 1}, PoolingCalculatedParams{1, 1, 1, 1, {}, true},
     {{"weights", TensorType::int2, {1, 4, 3, 3}, Layout::Reversed}, {"weights_pw", TensorType::int2, {4, 6}}}},
    // Transposed: the input times the stride.
    {{5, 3, 8}, LayerType::Conv2DTranspose, {{"kernel_size", 4}, {"filters", 6}}, {10, 6, 6}, {}, {},
     {{"weights", TensorType::int8, {4, 4, 8, 6}}}},
    {{5, 3, 8}, LayerType::DepthwiseConv2DTranspose, {{"kernel_size", 3}}, {10, 6, 8}, {}, {},
     {{"weights", TensorType::int8, {3, 3, 1, 8}}}},
    {{4, 4, 2}, LayerType::FullyConnected, {{"units", 10}, {"weights_bits", 2}}, {1, 1, 10}, {}, {},
     {{"weights", TensorType::int2, {10, 32}, Layout::Reversed}}},
    {{1, 1, 20}, LayerType::Dense1D, {{"units", 5}}, {1, 1, 5}, {}, {},
     {{"weights", TensorType::int8, {20, 5}}, {"bias", TensorType::int8, {5}}}},
    {{3, 3, 8}, LayerType::BufferTempConv, {{"fifo_size", 4}, {"filters", 16}}, {3, 3, 16}, {}, {},
     {{"weights", TensorType::int8, {1, 1, 32, 16}}}},
    {{3, 3, 8}, LayerType::DepthwiseBufferTempConv, {{"fifo_size", 5}}, {3, 3, 8}, {}, {},
     {{"weights", TensorType::int8, {1, 1, 5, 8}}}},
    {{20, 1, 64}, LayerType::StatefulRecurrent, {{"out_channels", 12}}, {20, 1, 12}},
    {{5, 5, 7}, LayerType::ExtractToken, {}, {1, 1, 7}},
    {{2, 2, 3}, LayerType::Dequantizer, {}, {2, 2, 3}, {}, {}, {{"scales", TensorType::float32, {3}}}},
};

TEST(LayerGeometry, OutputConvolutionPoolingAndVariablesOfEachFamily) {
  for (const auto& c : kGeometry) {
    auto model = model_with_input(c.input[0], c.input[1], c.input[2]);
    const auto layer = add_layer(*model, c.type, c.params, "layer");
    SCOPED_TRACE(static_cast<int>(c.type));
    EXPECT_EQ(dims(layer->output_dimensions()), c.output);
    if (!c.conv_words.empty()) {
      const auto words = dynamic_cast<const HasConvParams&>(*layer).conv_params()->words();
      EXPECT_EQ(std::vector<uint32_t>(words.begin(), words.end()), c.conv_words);
    }
    if (c.pool) {
      EXPECT_EQ(dynamic_cast<const HasPoolParams&>(*layer).pool_params(), c.pool);
    }
    for (const auto& variable : c.variables) {
      const auto tensor = layer->variables().get(variable.name);
      EXPECT_EQ(tensor->type(), variable.type) << variable.name;
      EXPECT_EQ(dims(tensor->shape()), variable.shape) << variable.name;
      EXPECT_EQ(tensor->layout(), variable.layout) << variable.name;
    }
  }
}

TEST(LayerGeometry, InputConvolutionalBuildsFromItsOwnInput) {
  auto model = Model::create();
  const auto hrc = make_layer(LayerType::InputConvolutional,
                              {{"input_width", 8}, {"input_height", 8}, {"input_channels", 1}, {"kernel_width", 3},
                               {"kernel_height", 3}, {"padding", 1}, {"stride_x", 2}, {"stride_y", 2},
                               {"filters", 1}, {"weights_bits", 1}, {"activation", 1}, {"act_bits", 1},
                               {"pool_type", 1}, {"pooling_width", 2}, {"pooling_height", 2},
                               {"pooling_stride_x", 2}, {"pooling_stride_y", 2}},
                              "inputconv");
  model->add(hrc);
  EXPECT_THAT(dims(hrc->output_dimensions()), ElementsAre(2u, 2u, 1u));
  // 8 in, stride 2: 4 positions need 9 columns and 9 rows, one after.
  EXPECT_THAT(dynamic_cast<const HasConvParams&>(*hrc).conv_params()->words(),
              ElementsAre(4u, 4u, 1u, 4u, 0u, 1u, 0u, 1u));
  EXPECT_EQ(hrc->input_bits(), 8u);
  EXPECT_EQ(hrc->variables().get("weights")->type(), TensorType::bit);

  auto other = model_with_input(8, 8, 3);
  const auto mismatch = make_layer(LayerType::InputConvolutional,
                                   {{"input_width", 8}, {"input_height", 8}, {"input_channels", 1}}, "hrc");
  EXPECT_THAT([&] { other->add(mismatch); },
              throws_text<std::invalid_argument>(
                  "The input of layer hrc does not match the output of its inbound layer."));
}

TEST(LayerGeometry, ConcatenateJoinsChannelsAndAddNeedsEqualShapes) {
  auto model = model_with_input(4, 4, 3);
  const auto input = model->get_layer(0);
  const auto five = add_layer(*model, LayerType::Conv2D, {{"kernel_size", 1}, {"filters", 5}}, "five");
  const auto cat = make_layer(LayerType::Concatenate, {}, "cat");
  model->add(cat, {input, five});
  EXPECT_THAT(dims(cat->output_dimensions()), ElementsAre(4u, 4u, 8u));
  const auto add = make_layer(LayerType::Add, {}, "add");
  model->add(add, {input, input});
  EXPECT_EQ(dims(add->variables().get("a_shift")->shape()), std::vector<uint32_t>{3});

  EXPECT_THAT([&] { model->add(make_layer(LayerType::Add, {}, "bad_add"), {input, five}); },
              throws_text<std::invalid_argument>("Layer bad_add needs inputs of equal shapes."));
  const auto small = make_layer(LayerType::Conv2D, {{"kernel_size", 3}, {"filters", 3}}, "small");
  model->add(small, {input});
  EXPECT_THAT([&] { model->add(make_layer(LayerType::Concatenate, {}, "bad_cat"), {input, small}); },
              throws_text<std::invalid_argument>("Layer bad_cat needs inputs of equal width and height."));
  EXPECT_THAT([&] { model->add(make_layer(LayerType::Add, {}, "lonely")); },
              throws_text<std::invalid_argument>("Layer lonely takes at least 2 inbound layers (got 1)."));
}

TEST(LayerGeometry, BitsFollowParametersActivationAndInputs) {
  auto model = Model::create();
  model->add(make_layer(LayerType::InputData,
                        {{"input_width", 4}, {"input_height", 4}, {"input_channels", 1}, {"input_bits", 4},
                         {"input_signed", 1}},
                        "input"));
  const auto relu =
      add_layer(*model, LayerType::Conv2D, {{"kernel_size", 1}, {"filters", 2}, {"activation", 1}}, "relu");
  EXPECT_EQ(relu->input_bits(), 4u);
  EXPECT_EQ(relu->output_bits(), 8u);
  EXPECT_FALSE(relu->output_signed());
  const auto four = add_layer(*model, LayerType::Conv2D,
                              {{"kernel_size", 1}, {"filters", 2}, {"activation", 1}, {"output_bits", 4}}, "four");
  EXPECT_EQ(four->output_bits(), 4u);
  const auto potentials = add_layer(*model, LayerType::Conv2D, {{"kernel_size", 1}, {"filters", 2}}, "potentials");
  EXPECT_EQ(potentials->output_bits(), 32u);
  EXPECT_TRUE(potentials->output_signed());
  const auto v1 = add_layer(*model, LayerType::Convolutional,
                            {{"kernel_width", 1}, {"kernel_height", 1}, {"filters", 2}, {"activation", 1},
                             {"act_bits", 2}},
                            "v1");
  EXPECT_EQ(v1->output_bits(), 2u);
  EXPECT_EQ(add_layer(*model, LayerType::Dequantizer, {}, "dequantizer")->output_bits(), 32u);
}

TEST(LayerGeometry, RefusedValuesNameTheLayerAndKey) {
  auto model = model_with_input(8, 8, 1);
  EXPECT_THAT([&] { add_layer(*model, LayerType::Conv2D, {{"kernel_size", 0}, {"filters", 2}}, "conv"); },
              throws_text<std::invalid_argument>(
                  "Layer conv: parameter kernel_size must be between 1 and 2147483647 (got 0)."));
  EXPECT_THAT(
      [&] {
        add_layer(*model, LayerType::Conv2D, {{"kernel_size", 3}, {"filters", 2}, {"pool_type", 1}, {"pool_size", 0}},
                  "conv");
      },
      throws_text<std::invalid_argument>("Layer conv: parameter pool_size must be -1 (global) or at least 1 (got 0)."));
  EXPECT_THAT([&] { add_layer(*model, LayerType::Conv2D, {{"kernel_size", 3}}, "conv"); },
              throws_text<std::invalid_argument>("Layer conv: parameter filters is required."));
  EXPECT_EQ(model->layer_count(), 1u);
}

// A window wider or taller than what it slides over gives no output without padding: the layer
// is refused when it joins and the model stays as it was, still usable.
struct NoOutputCase {
  std::vector<uint32_t> input;
  LayerType type;
  LayerParams::Values params;
  std::string error;
};

const std::vector<NoOutputCase> kNoOutput{
    {{8, 8, 1}, LayerType::Conv2D, {{"kernel_size", 9}, {"filters", 2}},
     "Layer late gives no output: its 9x9 kernel does not fit its 8x8 input with Valid padding."},
    {{9, 8, 3}, LayerType::DepthwiseConv2D, {{"kernel_size", 9}},
     "Layer late gives no output: its 9x9 kernel does not fit its 9x8 input with Valid padding."},
    {{8, 8, 1}, LayerType::Convolutional, {{"kernel_width", 3}, {"kernel_height", 9}, {"filters", 2}},
     "Layer late gives no output: its 3x9 kernel does not fit its 8x8 input with Valid padding."},
    // The 3x3 kernel leaves 6x6 positions, too few for a 7x7 pool window.
    {{8, 8, 1}, LayerType::Conv2D,
     {{"kernel_size", 3}, {"filters", 2}, {"pool_type", 2}, {"pool_size", 7}, {"pool_stride", 1}},
     "Layer late gives no output: its 7x7 pool window does not fit the 6x6 output of its convolution with Valid "
     "padding."},
};

TEST(LayerGeometry, AWindowThatGivesNoOutputIsRefusedAndLeavesTheModel) {
  for (const auto& c : kNoOutput) {
    SCOPED_TRACE(c.error);
    auto model = model_with_input(c.input[0], c.input[1], c.input[2]);
    const auto first =
        add_layer(*model, LayerType::Conv2D, {{"kernel_size", 1}, {"filters", static_cast<int32_t>(c.input[2])}}, "first");
    const auto late = make_layer(c.type, c.params, "late");
    EXPECT_THAT([&] { model->add(late); }, throws_text<std::invalid_argument>(c.error));
    EXPECT_EQ(model->layer_count(), 2u);
    EXPECT_TRUE(first->outbound_layers().empty());
    EXPECT_EQ(dims(model->output_shape()), c.input);
    // The same kernel fits with padding.
    LayerParams::Values padded = c.params;
    padded["padding"] = 1;
    EXPECT_NO_THROW(add_layer(*model, c.type, padded, "padded"));
  }
}

// What a fresh layer's scales and steps hold before any is set: values that pass the
// accumulators and potentials on.
struct InitialCase {
  LayerType type;
  LayerParams::Values params;
  std::string variable;
  std::vector<float> values;
};

TEST(LayerGeometry, FreshLayersStartWithScalesAndStepsOfOne) {
  const LayerParams::Values conv{{"kernel_width", 3}, {"kernel_height", 3}, {"filters", 2}, {"padding", 1}};
  LayerParams::Values input_conv = conv;
  input_conv.insert({{"input_width", 2}, {"input_height", 2}, {"input_channels", 4}});
  const std::vector<InitialCase> cases{
      {LayerType::Dense1D, {{"units", 3}}, "output_scales", {1, 1, 1}},
      {LayerType::InputConv2D, {{"kernel_size", 3}, {"filters", 2}, {"padding", 1}}, "output_scales", {1, 1}},
      {LayerType::Dequantizer, {}, "scales", {1, 1, 1, 1}},
      {LayerType::FullyConnected, {{"units", 3}}, "act_step", {1, 1, 1}},
      {LayerType::Convolutional, conv, "act_step", {1, 1}},
      {LayerType::SeparableConvolutional, conv, "act_step", {1, 1}},
      {LayerType::InputConvolutional, input_conv, "act_step", {1, 1}},
      // Shifts, biases and thresholds stay at 0.
      {LayerType::Dense1D, {{"units", 2}}, "output_shift", {0, 0}},
      {LayerType::FullyConnected, {{"units", 2}}, "threshold", {0, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.variable);
    auto model = model_with_input(2, 2, 4);
    const auto layer = add_layer(*model, c.type, c.params, "layer");
    const auto tensor = layer->variables().get(c.variable);
    std::vector<float> values;
    switch (tensor->type()) {
      case TensorType::float32:
        values.assign(tensor->data<float>(), tensor->data<float>() + tensor->size());
        break;
      case TensorType::uint8:
        values.assign(tensor->data<uint8_t>(), tensor->data<uint8_t>() + tensor->size());
        break;
      case TensorType::int32:
        values.assign(tensor->data<int32_t>(), tensor->data<int32_t>() + tensor->size());
        break;
      default:
        values.assign(tensor->data<int8_t>(), tensor->data<int8_t>() + tensor->size());
    }
    EXPECT_EQ(values, c.values);
  }
}

}  // namespace
}  // namespace ornix
