#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "backend/v2/compatibility_checker.h"
#include "backend/v2/weights_bitwidth_check.h"
#include "engine/layer_fixtures.h"
#include "hardware/mesh.h"
#include "support/fake_mesh_device.h"

namespace ornix {
namespace {

// The checker of a generation-2 device with the generation's SRAM sizes: 4096 weight words
// (51200 bytes x 8 / 100), inputs up to 4096 x 4096 x 2048, 2048 filters, 16384 words of
// single-buffered input (65536 / 4) and 256 input-shift words (768 bytes).
struct V2Mesh {
  test::FakeMeshDevice device{{0xD3, 0xA2, 1, 0}, test::empty_mesh(IpVersion::v2)};
  HardwareConstraints constraints = make_hardware_constraints(Generation::v2, device.mesh()->np_sram_size);
  v2::CompatibilityCheckerImpl checker{&device, &constraints};

  LayerMappingStatus check(const Layer& layer) const { return checker.check_layer_compatibility(layer, nullptr, {}); }
};

// A layer of `type` named "conv" after a width x height x channels input of `input_bits`,
// with parameters every check accepts (3x3 kernel, Same padding, no pooling, 8-bit weights,
// ReLU to 8 bits) changed by `changes`. The depthwise forms get no "filters".
std::shared_ptr<Layer> conv(LayerType type, uint32_t width, uint32_t height, uint32_t channels,
                            const LayerParams::Values& changes = {}, int32_t input_bits = 8) {
  LayerParams::Values values{{"kernel_size", 3},  {"padding", 1},      {"pool_type", 0},     {"kernel_stride", 1},
                             {"weights_bits", 8}, {"activation", 1},   {"output_bits", 8}};
  if (type == LayerType::Conv2D || type == LayerType::Conv2DTranspose) values["filters"] = 4;
  for (const auto& [key, value] : changes) values[key] = value;
  auto model = Model::create();
  model->add(test::make_layer(LayerType::InputData,
                              {{"input_width", static_cast<int32_t>(width)},
                               {"input_height", static_cast<int32_t>(height)},
                               {"input_channels", static_cast<int32_t>(channels)},
                               {"input_bits", input_bits}},
                              "input"));
  return test::add_layer(*model, type, values, "conv");
}

// Replaces the first weight (and the first input shift) with `value`; the others stay 0.
void set_first(Layer& layer, const std::string& variable, TensorType type, int8_t value) {
  auto tensor = Dense::create(type, layer.variables().get(variable)->shape());
  tensor->buffer()[0] = static_cast<uint8_t>(value);
  layer.variables().set(variable, tensor);
}

LayerMappingError conv_error(const std::string& lines) { return LayerMappingError("conv", lines); }

TEST(V2ConvConstraints, AcceptedLayerOfEachType) {
  const V2Mesh v2;
  for (const LayerType type : {LayerType::Conv2D, LayerType::DepthwiseConv2D, LayerType::Conv2DTranspose,
                               LayerType::DepthwiseConv2DTranspose}) {
    EXPECT_EQ(v2.check(*conv(type, 8, 8, 4)), LayerMappingStatus("conv")) << static_cast<int>(type);
  }
  // The transposed forms take any padding, pooling and stride.
  EXPECT_TRUE(v2.check(*conv(LayerType::Conv2DTranspose, 8, 8, 4,
                             {{"padding", 0}, {"pool_type", 1}, {"pool_size", 3}, {"kernel_stride", 2}}))
                  .success());
}

TEST(V2ConvConstraints, EveryBrokenRuleOneLineInOrderAfterTheCheckerFindings) {
  const V2Mesh v2;
  // Kernel 2 with 2-bit weights of which one needs 3 bits; the filter fit, which knows no
  // kernel 2, is skipped after the first failure.
  const auto layer = conv(LayerType::Conv2D, 8, 8, 74, {{"kernel_size", 2}, {"weights_bits", 2}, {"padding", 0}});
  set_first(*layer, "weights", TensorType::int8, 3);
  set_first(*layer, "input_shift", TensorType::uint8, 8);
  EXPECT_EQ(v2.check(*layer),
            conv_error("The variable input_shift should only contain unsigned values that use no more than 3-bit, 4 "
                       "detected.\n"
                       "Only padding 'Same' is supported.\n"
                       "Kernel size must be 1, 3, 5 or 7.\n"
                       "Weights bitwidth should be 4-bit or 8-bit.\n"
                       "Expected bitwidth is 2-bit but provided weights are 3-bit."));

  const auto narrow_input = conv(LayerType::DepthwiseConv2D, 8, 8, 4, {{"kernel_size", 1}, {"weights_bits", 4}}, 2);
  EXPECT_EQ(v2.check(*narrow_input), conv_error("Input bits should be >= weights bits.\n"
                                                "Input should be 4-bit or 8-bit.\n"
                                                "Kernel size must be 3, 5 or 7.\n"
                                                "4-bit weights and 8-bit activation is not allowed."));

  const std::string transposed_lines =
      "With activation output bitwidth should be <= 8.\n"
      "Input should be 8-bit.\n"
      "With activation output bitwidth should be 8.\n"
      "Weights should be 8-bit.\n"
      "Kernel size must be 3 or 4.";
  const LayerParams::Values transposed_changes{{"kernel_size", 5}, {"weights_bits", 4}, {"output_bits", 16}};
  EXPECT_EQ(v2.check(*conv(LayerType::Conv2DTranspose, 8, 8, 4, transposed_changes, 4)), conv_error(transposed_lines));
  EXPECT_EQ(v2.check(*conv(LayerType::DepthwiseConv2DTranspose, 8, 8, 4, transposed_changes, 4)),
            conv_error(transposed_lines));
}

TEST(V2ConvConstraints, InputFilterAndInputShiftLimits) {
  const V2Mesh v2;
  // At every limit: 2048 input shifts fill the 256 words; 1x1 8-bit filters take 2 words per
  // channel, 4096 in all.
  EXPECT_TRUE(v2.check(*conv(LayerType::Conv2D, 4096, 1, 2048, {{"kernel_size", 1}, {"filters", 2048}})).success());
  EXPECT_EQ(v2.check(*conv(LayerType::Conv2D, 4097, 4097, 1, {{"kernel_size", 1}})),
            conv_error("The maximum input width is 4096 (got 4097).\n"
                       "The maximum input height is 4096 (got 4097)."));
  // 2049 shifts need 257 words of 3 bytes.
  EXPECT_EQ(v2.check(*conv(LayerType::Conv2D, 1, 1, 2049, {{"kernel_size", 1}, {"filters", 2049}})),
            conv_error("The maximum input channel value is 2048 (got 2049).\n"
                       "The maximum number of filters is 2048 (got 2049).\n"
                       "Input shift exceeds memory. Maximum size is 768 bytes. (got 771 bytes)."));
  // A depthwise layer has as many filters as input channels; 3000 shifts need 375 words.
  EXPECT_EQ(v2.check(*conv(LayerType::DepthwiseConv2D, 1, 1, 3000)),
            conv_error("The maximum input channel value is 2048 (got 3000).\n"
                       "The maximum number of filters is 2048 (got 3000).\n"
                       "Input shift exceeds memory. Maximum size is 768 bytes. (got 1125 bytes)."));
}

TEST(V2ConvConstraints, OneFilterFitsTheWeightMemory) {
  const V2Mesh v2;
  const std::string conv2d_line =
      "Filter size is too big to fit in a CNP: try decreasing the input channels or the bitwidth.";
  // 7x7 8-bit: 56 words per channel, 73 x 56 = 4088, 74 x 56 = 4144.
  EXPECT_TRUE(v2.check(*conv(LayerType::Conv2D, 8, 8, 73, {{"kernel_size", 7}})).success());
  EXPECT_EQ(v2.check(*conv(LayerType::Conv2D, 8, 8, 74, {{"kernel_size", 7}})), conv_error(conv2d_line));
  // Transposed 4x4 8-bit: 12 words per channel, 341 x 12 = 4092, 342 x 12 = 4104.
  EXPECT_TRUE(v2.check(*conv(LayerType::Conv2DTranspose, 4, 4, 341, {{"kernel_size", 4}})).success());
  EXPECT_EQ(v2.check(*conv(LayerType::Conv2DTranspose, 4, 4, 342, {{"kernel_size", 4}})),
            conv_error("Filter size is too big to fit in a CNP: try decreasing the input."));
  // The depthwise forms hold one channel per filter: no such rule.
  EXPECT_TRUE(v2.check(*conv(LayerType::DepthwiseConv2D, 4, 4, 2048, {{"kernel_size", 7}})).success());
  EXPECT_TRUE(v2.check(*conv(LayerType::DepthwiseConv2DTranspose, 4, 4, 2048, {{"kernel_size", 4}})).success());
}

TEST(V2ConvConstraints, OutputBitwidthWithAndWithoutActivation) {
  const V2Mesh v2;
  EXPECT_EQ(v2.check(*conv(LayerType::Conv2D, 8, 8, 4, {{"output_bits", 16}})),
            conv_error("With activation output bitwidth should be <= 8.\n"
                       "With activation output bitwidth should be 4 or 8."));
  EXPECT_EQ(v2.check(*conv(LayerType::Conv2DTranspose, 8, 8, 4, {{"output_bits", 16}})),
            conv_error("With activation output bitwidth should be <= 8.\n"
                       "With activation output bitwidth should be 8."));
  EXPECT_TRUE(v2.check(*conv(LayerType::DepthwiseConv2D, 8, 8, 4, {{"output_bits", 4}})).success());
  EXPECT_EQ(v2.check(*conv(LayerType::Conv2D, 8, 8, 4, {{"output_bits", 4}, {"activation", 2}})),
            conv_error("4-bit activation is not supported with LUT."));
  EXPECT_EQ(v2.check(*conv(LayerType::DepthwiseConv2DTranspose, 8, 8, 4, {{"output_bits", 4}, {"activation", 2}})),
            conv_error("With activation output bitwidth should be 8.\n"
                       "4-bit activation is not supported with LUT."));
  EXPECT_TRUE(v2.check(*conv(LayerType::Conv2D, 8, 8, 4, {{"output_bits", 28}, {"activation", 0}})).success());
  EXPECT_EQ(v2.check(*conv(LayerType::Conv2DTranspose, 8, 8, 4, {{"output_bits", 16}, {"activation", 0}})),
            conv_error("Without activation output bitwidth should be 8 or 28."));
}

TEST(V2ConvConstraints, FourBitWeightsWithEightBitOutput) {
  const V2Mesh v2;
  const LayerParams::Values potential{{"weights_bits", 4}, {"activation", 0}};
  EXPECT_EQ(v2.check(*conv(LayerType::Conv2D, 8, 8, 4, potential, 4)),
            conv_error("4-bit weights and 8-bit potential is not allowed."));
  EXPECT_TRUE(v2.check(*conv(LayerType::DepthwiseConv2D, 8, 8, 4, potential, 4)).success());
  EXPECT_TRUE(v2.check(*conv(LayerType::Conv2D, 8, 8, 4, {{"weights_bits", 4}}, 4)).success());
  EXPECT_EQ(v2.check(*conv(LayerType::DepthwiseConv2D, 8, 8, 4, {{"weights_bits", 4}}, 4)),
            conv_error("4-bit weights and 8-bit activation is not allowed."));
}

TEST(V2ConvConstraints, WeightValuesWithinWeightsBits) {
  const auto layer = conv(LayerType::Conv2D, 8, 8, 4, {{"weights_bits", 4}});
  set_first(*layer, "weights", TensorType::int8, -8);
  EXPECT_EQ(v2::check_weights_bitwidth(*layer), LayerMappingStatus(""));
  set_first(*layer, "weights", TensorType::int8, 15);
  EXPECT_EQ(v2::check_weights_bitwidth(*layer),
            LayerMappingError("conv", "Expected bitwidth is 4-bit but provided weights are 5-bit."));
  EXPECT_EQ(V2Mesh().check(*layer), conv_error("Expected bitwidth is 4-bit but provided weights are 5-bit."));

  const auto wide = conv(LayerType::DepthwiseConv2D, 8, 8, 4);
  set_first(*wide, "weights", TensorType::int8, 7);
  EXPECT_EQ(v2::check_weights_bitwidth(*wide), LayerMappingStatus(""));
}

TEST(V2ConvConstraints, MaxPooling) {
  const V2Mesh v2;
  const LayerParams::Values max2{{"pool_type", 1}, {"pool_size", 2}};
  EXPECT_TRUE(v2.check(*conv(LayerType::Conv2D, 2, 2, 4, max2)).success());
  EXPECT_TRUE(v2.check(*conv(LayerType::Conv2D, 8, 8, 4, {{"kernel_stride", 2}})).success());  // no pooling
  EXPECT_EQ(v2.check(*conv(LayerType::DepthwiseConv2D, 2, 1, 4, max2)),
            conv_error("Pooling size cannot be greater than input dimensions."));
  EXPECT_EQ(v2.check(*conv(LayerType::Conv2D, 2, 2, 4,
                           {{"pool_type", 1}, {"pool_size", 3}, {"kernel_stride", 2}, {"activation", 2}})),
            conv_error("The CNP cannot support both pooling and stride.\n"
                       "Pooling size must be 1 or 2.\n"
                       "Pooling size cannot be greater than input dimensions.\n"
                       "Max pooling is not supported with activation LUT."));
}

TEST(V2ConvConstraints, GlobalAveragePooling) {
  const V2Mesh v2;
  const LayerParams::Values global{{"pool_type", 2}, {"pool_size", -1}};
  EXPECT_TRUE(v2.check(*conv(LayerType::Conv2D, 12, 12, 4, global)).success());
  EXPECT_EQ(v2.check(*conv(LayerType::Conv2D, 12, 13, 4, global)),
            conv_error("When using Global Average Pooling, input dimensions width * height cannot exceed 144."));
  EXPECT_EQ(v2.check(*conv(LayerType::DepthwiseConv2D, 65, 1, 4, global)),
            conv_error("When using Global Average Pooling, input width cannot exceed 64."));
  EXPECT_EQ(v2.check(*conv(LayerType::Conv2D, 4, 4, 4,
                           {{"pool_type", 2}, {"pool_size", 2}, {"activation", 0}, {"output_bits", 28}})),
            conv_error("With average pooling output bitwidth should be <= 8.\n"
                       "Global Average pooling must be global."));
  // A Valid 3x3 kernel on two rows yields no row.
  EXPECT_EQ(v2.check(*conv(LayerType::Conv2D, 4, 2, 4, {{"pool_type", 2}, {"pool_size", -1}, {"padding", 0}})),
            conv_error("Only padding 'Same' is supported.\n"
                       "When using Global Average Pooling, the output of the convolution must have at least 1 rows "
                       "(currently 0)."));
  // 12 8-bit values take 12 bytes a row: 455 channels x 3 words x 12 rows = 16380 words fit,
  // 456 channels need 16416.
  EXPECT_TRUE(v2.check(*conv(LayerType::Conv2D, 12, 12, 455, global)).success());
  EXPECT_EQ(v2.check(*conv(LayerType::Conv2D, 12, 12, 456, global)),
            conv_error("When using Global Average Pooling, spatial split is impossible."));
}

}  // namespace
}  // namespace ornix
