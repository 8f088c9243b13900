#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

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

// One layer of that type after an input of (width, height, channels).
std::shared_ptr<Layer> after_input(uint32_t width, uint32_t height, uint32_t channels, LayerType type,
                                   const LayerParams::Values& values) {
  auto model = model_with_input(width, height, channels);
  return add_layer(*model, type, values, "conv");
}

const ConvCalculatedParams& conv_of(const Layer& layer) {
  return *dynamic_cast<const HasConvParams&>(layer).conv_params();
}
const PoolingCalculatedParams& pool_of(const Layer& layer) {
  return *dynamic_cast<const HasPoolParams&>(layer).pool_params();
}

void expect_variable(const Layer& layer, const std::string& name, TensorType type, std::vector<uint32_t> shape,
                     Layout layout = Layout::RowMajor) {
  const auto tensor = layer.variables().get(name);
  EXPECT_EQ(tensor->type(), type) << name;
  EXPECT_EQ(dims(tensor->shape()), shape) << name;
  EXPECT_EQ(tensor->layout(), layout) << name;
}

TEST(ConvolutionGeometry, StridesWithValidAndSamePadding) {
  const auto valid =
      after_input(9, 7, 2, LayerType::Conv2D, {{"kernel_size", 3}, {"kernel_stride", 2}, {"filters", 4}});
  EXPECT_THAT(dims(valid->output_dimensions()), ElementsAre(4u, 3u, 4u));
  EXPECT_THAT(conv_of(*valid).words(), ElementsAre(4u, 3u, 4u, 3u, 0u, 0u, 0u, 0u));

  // Width 8: 4 positions need 9 columns, one after. Height 5: 3 positions need 7 rows.
  const auto same = after_input(
      8, 5, 1, LayerType::Conv2D, {{"kernel_size", 3}, {"kernel_stride", 2}, {"padding", 1}, {"filters", 2}});
  EXPECT_THAT(dims(same->output_dimensions()), ElementsAre(4u, 3u, 2u));
  EXPECT_THAT(conv_of(*same).words(), ElementsAre(4u, 3u, 2u, 3u, 1u, 1u, 0u, 1u));
  EXPECT_EQ(pool_of(*same), (PoolingCalculatedParams{1, 1, 4, 3, {}, false}));
  EXPECT_EQ(same->macs(), 216u);  // 4 x 3 positions x 3 x 3 kernel x 1 channel x 2 filters
  expect_variable(*same, "weights", TensorType::int8, {3, 3, 1, 2});
  expect_variable(*same, "input_shift", TensorType::uint8, {1});
}

TEST(ConvolutionGeometry, MaxPoolingPadsLikeTheConvolution) {
  const auto conv = after_input(
      7, 7, 1, LayerType::Conv2D,
      {{"kernel_size", 3}, {"padding", 1}, {"filters", 2}, {"pool_type", 1}, {"pool_size", 2}, {"pool_stride", 2}});
  EXPECT_THAT(dims(conv->output_dimensions()), ElementsAre(4u, 4u, 2u));
  EXPECT_EQ(pool_of(*conv), (PoolingCalculatedParams{2, 2, 4, 4, {0, 1, 0, 1}, true}));
}

TEST(ConvolutionGeometry, FirstGenerationAveragePoolingWithStridesTakenFromTheSize) {
  const auto conv = after_input(10, 10, 1, LayerType::Convolutional,
                                {{"kernel_width", 3}, {"kernel_height", 3}, {"filters", 8}, {"weights_bits", 4},
                                 {"pool_type", 2}, {"pooling_width", 2}, {"pooling_height", 2},
                                 {"pooling_stride_x", -1}, {"pooling_stride_y", -1}});
  EXPECT_THAT(dims(conv->output_dimensions()), ElementsAre(4u, 4u, 8u));
  EXPECT_THAT(conv_of(*conv).words(), ElementsAre(8u, 8u, 8u, 8u, 0u, 0u, 0u, 0u));
  EXPECT_EQ(pool_of(*conv), (PoolingCalculatedParams{2, 2, 4, 4, {}, true}));
  expect_variable(*conv, "weights", TensorType::int4, {8, 1, 3, 3}, Layout::Reversed);
  expect_variable(*conv, "threshold", TensorType::int32, {8});
}

TEST(ConvolutionGeometry, GlobalPoolingKeepsTheConvolutionRows) {
  const auto separable = after_input(5, 5, 4, LayerType::SeparableConvolutional,
                                     {{"kernel_width", 3}, {"kernel_height", 3}, {"padding", 1}, {"filters", 6},
                                      {"weights_bits", 2}, {"pool_type", 2}, {"pooling_width", -1}});
  EXPECT_THAT(dims(separable->output_dimensions()), ElementsAre(1u, 1u, 6u));
  EXPECT_EQ(conv_of(*separable).output_rows, 5u);
  EXPECT_EQ(pool_of(*separable), (PoolingCalculatedParams{1, 1, 1, 1, {}, true}));
  EXPECT_EQ(separable->macs(), 1500u);  // 5 x 5 x 4 x (9 depthwise + 6 pointwise), pooling not counted
  expect_variable(*separable, "weights", TensorType::int2, {1, 4, 3, 3}, Layout::Reversed);
  expect_variable(*separable, "weights_pw", TensorType::int2, {4, 6});
}

TEST(ConvolutionGeometry, InputConvolutionalBuildsFromItsOwnInput) {
  auto model = Model::create();
  const auto hrc = make_layer(LayerType::InputConvolutional,
                              {{"input_width", 8}, {"input_height", 8}, {"input_channels", 1}, {"kernel_width", 3},
                               {"kernel_height", 3}, {"padding", 1}, {"stride_x", 2}, {"stride_y", 2},
                               {"filters", 1}, {"weights_bits", 1}, {"activation", 1}, {"act_bits", 1},
                               {"pool_type", 1}, {"pooling_width", 2}, {"pooling_height", 2},
                               {"pooling_stride_x", 2}, {"pooling_stride_y", 2}},
                              "inputconv");
  model->add(hrc);
  EXPECT_THAT(dims(hrc->input_dimensions().at(0)), ElementsAre(8u, 8u, 1u));
  EXPECT_THAT(dims(hrc->output_dimensions()), ElementsAre(2u, 2u, 1u));
  // 8 in, stride 2: 4 positions need 9 columns and 9 rows, one after.
  EXPECT_THAT(conv_of(*hrc).words(), ElementsAre(4u, 4u, 1u, 4u, 0u, 1u, 0u, 1u));
  EXPECT_EQ(pool_of(*hrc), (PoolingCalculatedParams{2, 2, 2, 2, {}, true}));
  EXPECT_EQ(hrc->input_bits(), 8u);
  expect_variable(*hrc, "weights", TensorType::bit, {3, 3, 1, 1});

  auto other = model_with_input(8, 8, 3);
  const auto mismatch = make_layer(LayerType::InputConvolutional,
                                   {{"input_width", 8}, {"input_height", 8}, {"input_channels", 1}}, "hrc");
  EXPECT_THAT([&] { other->add(mismatch); },
              throws_text<std::invalid_argument>(
                  "The input of layer hrc does not match the output of its inbound layer."));
}

TEST(TransposedGeometry, OutputIsTheInputTimesTheStride) {
  const auto conv = after_input(5, 3, 8, LayerType::Conv2DTranspose, {{"kernel_size", 4}, {"filters", 6}});
  EXPECT_THAT(dims(conv->output_dimensions()), ElementsAre(10u, 6u, 6u));
  EXPECT_EQ(conv->macs(), 11520u);  // 5 x 3 inputs x 8 channels x 6 filters x 4 x 4
  expect_variable(*conv, "weights", TensorType::int8, {4, 4, 8, 6});

  const auto depthwise = after_input(5, 3, 8, LayerType::DepthwiseConv2DTranspose, {{"kernel_size", 3}});
  EXPECT_THAT(dims(depthwise->output_dimensions()), ElementsAre(10u, 6u, 8u));
  EXPECT_EQ(depthwise->macs(), 1080u);  // 5 x 3 x 8 x 3 x 3
  expect_variable(*depthwise, "weights", TensorType::int8, {3, 3, 1, 8});
}

TEST(MergeGeometry, ConcatenateJoinsChannelsAndAddNeedsEqualShapes) {
  auto model = model_with_input(4, 4, 3);
  const auto input = model->get_layer(0);
  const auto five = add_layer(*model, LayerType::Conv2D, {{"kernel_size", 1}, {"filters", 5}}, "five");
  const auto cat = make_layer(LayerType::Concatenate, {}, "cat");
  model->add(cat, {input, five});
  EXPECT_THAT(dims(cat->output_dimensions()), ElementsAre(4u, 4u, 8u));

  const auto three = make_layer(LayerType::Conv2D, {{"kernel_size", 1}, {"filters", 3}}, "three");
  model->add(three, {five});
  const auto add = make_layer(LayerType::Add, {}, "add");
  model->add(add, {input, three});
  EXPECT_THAT(dims(add->output_dimensions()), ElementsAre(4u, 4u, 3u));
  expect_variable(*add, "a_shift", TensorType::uint8, {3});

  EXPECT_THAT([&] { model->add(make_layer(LayerType::Add, {}, "bad_add"), {input, five}); },
              throws_text<std::invalid_argument>("Layer bad_add needs inputs of equal shapes."));
  const auto small = make_layer(LayerType::Conv2D, {{"kernel_size", 3}, {"filters", 3}}, "small");
  model->add(small, {input});
  EXPECT_THAT([&] { model->add(make_layer(LayerType::Concatenate, {}, "bad_cat"), {input, small}); },
              throws_text<std::invalid_argument>("Layer bad_cat needs inputs of equal width and height."));
  EXPECT_THAT([&] { model->add(make_layer(LayerType::Add, {}, "lonely")); },
              throws_text<std::invalid_argument>("Layer lonely takes at least 2 inbound layers (got 1)."));
}

TEST(DenseGeometry, EveryInputFeedsEveryNeuron) {
  const auto fc = after_input(4, 4, 2, LayerType::FullyConnected, {{"units", 10}, {"weights_bits", 2}});
  EXPECT_THAT(dims(fc->output_dimensions()), ElementsAre(1u, 1u, 10u));
  EXPECT_EQ(fc->macs(), 320u);
  expect_variable(*fc, "weights", TensorType::int2, {10, 32}, Layout::Reversed);

  const auto dense = after_input(1, 1, 20, LayerType::Dense1D, {{"units", 5}});
  EXPECT_THAT(dims(dense->output_dimensions()), ElementsAre(1u, 1u, 5u));
  expect_variable(*dense, "weights", TensorType::int8, {20, 5});
  expect_variable(*dense, "bias", TensorType::int8, {5});
}

TEST(TemporalAndReadoutGeometry, PlaneKeptOrReduced) {
  const auto buffer = after_input(3, 3, 8, LayerType::BufferTempConv, {{"fifo_size", 4}, {"filters", 16}});
  EXPECT_THAT(dims(buffer->output_dimensions()), ElementsAre(3u, 3u, 16u));
  EXPECT_EQ(buffer->macs(), 4608u);  // 3 x 3 x 16 filters x 4 frames x 8 channels
  expect_variable(*buffer, "weights", TensorType::int8, {1, 1, 32, 16});

  const auto depthwise = after_input(3, 3, 8, LayerType::DepthwiseBufferTempConv, {{"fifo_size", 5}});
  EXPECT_THAT(dims(depthwise->output_dimensions()), ElementsAre(3u, 3u, 8u));
  expect_variable(*depthwise, "weights", TensorType::int8, {1, 1, 5, 8});

  const auto recurrent = after_input(20, 1, 64, LayerType::StatefulRecurrent, {{"out_channels", 12}});
  EXPECT_THAT(dims(recurrent->output_dimensions()), ElementsAre(20u, 1u, 12u));
  const auto token = after_input(5, 5, 7, LayerType::ExtractToken, {});
  EXPECT_THAT(dims(token->output_dimensions()), ElementsAre(1u, 1u, 7u));
  const auto dequantizer = after_input(2, 2, 3, LayerType::Dequantizer, {});
  EXPECT_THAT(dims(dequantizer->output_dimensions()), ElementsAre(2u, 2u, 3u));
  EXPECT_EQ(dequantizer->output_bits(), 32u);
}

TEST(LayerBits, FollowParametersActivationAndInputs) {
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

  const auto add = make_layer(LayerType::Add, {}, "add");
  model->add(add, {relu, four});
  EXPECT_EQ(add->output_bits(), 8u);
}

TEST(LayerParameters, RefusedValuesNameTheLayerAndKey) {
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
              throws_text<std::invalid_argument>("Key filters not found"));
  EXPECT_EQ(model->layer_count(), 1u);
}

}  // namespace
}  // namespace ornix
