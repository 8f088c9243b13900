#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

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
  auto model = test::model_with_input(width, height, channels, input_bits);
  return test::add_layer(*model, type, values, "conv");
}

// Replaces the first weight (and the first input shift) with `value`; the others stay 0.
void set_first(Layer& layer, const std::string& variable, TensorType type, int8_t value) {
  auto tensor = Dense::create(type, layer.variables().get(variable)->shape());
  tensor->buffer()[0] = static_cast<uint8_t>(value);
  layer.variables().set(variable, tensor);
}

LayerMappingError conv_error(const std::string& lines) { return LayerMappingError("conv", lines); }

constexpr LayerType kConv = LayerType::Conv2D;
constexpr LayerType kDw = LayerType::DepthwiseConv2D;
constexpr LayerType kUp = LayerType::Conv2DTranspose;
constexpr LayerType kDwUp = LayerType::DepthwiseConv2DTranspose;

// One change to the accepted layer and the lines the checker gives ("" for success).
struct Rule {
  LayerType type;
  std::vector<uint32_t> input;  // width, height, channels
  LayerParams::Values changes;
  std::string lines;
  int32_t input_bits = 8;
};

const std::string kTransposedLines =
    "With activation output bitwidth should be <= 8.\n"
    "Input should be 8-bit.\n"
    "With activation output bitwidth should be 8.\n"
    "Weights should be 8-bit.\n"
    "Kernel size must be 3 or 4.";
const LayerParams::Values kGlobal{{"pool_type", 2}, {"pool_size", -1}};
const LayerParams::Values kMax2{{"pool_type", 1}, {"pool_size", 2}};

const std::vector<Rule> kRules{
    {kConv, {8, 8, 4}, {}, ""},
    {kDw, {8, 8, 4}, {}, ""},
    {kUp, {8, 8, 4}, {}, ""},
    {kDwUp, {8, 8, 4}, {}, ""},
    // The transposed forms take any padding, pooling and stride.
    {kUp, {8, 8, 4}, {{"padding", 0}, {"pool_type", 1}, {"pool_size", 3}, {"kernel_stride", 2}}, ""},
    {kDw, {8, 8, 4}, {{"kernel_size", 1}, {"weights_bits", 4}},
     "Input bits should be >= weights bits.\nInput should be 4-bit or 8-bit.\nKernel size must be 3, 5 or 7.\n"
     "4-bit weights and 8-bit activation is not allowed.",
     2},
    {kUp, {8, 8, 4}, {{"kernel_size", 5}, {"weights_bits", 4}, {"output_bits", 16}}, kTransposedLines, 4},
    {kDwUp, {8, 8, 4}, {{"kernel_size", 5}, {"weights_bits", 4}, {"output_bits", 16}}, kTransposedLines, 4},
    // At every limit: 2048 input shifts fill the 256 words; 1x1 8-bit filters take 2 words per
    // channel, 4096 in all.
    {kConv, {4096, 1, 2048}, {{"kernel_size", 1}, {"filters", 2048}}, ""},
    {kConv, {4097, 4097, 1}, {{"kernel_size", 1}},
     "The maximum input width is 4096 (got 4097).\nThe maximum input height is 4096 (got 4097)."},
    // 2049 shifts need 257 words of 3 bytes.
    {kConv, {1, 1, 2049}, {{"kernel_size", 1}, {"filters", 2049}},
     "The maximum input channel value is 2048 (got 2049).\nThe maximum number of filters is 2048 (got 2049).\n"
     "Input shift exceeds memory. Maximum size is 768 bytes. (got 771 bytes)."},
    // A depthwise layer has as many filters as input channels; 3000 shifts need 375 words.
    {kDw, {1, 1, 3000}, {},
     "The maximum input channel value is 2048 (got 3000).\nThe maximum number of filters is 2048 (got 3000).\n"
     "Input shift exceeds memory. Maximum size is 768 bytes. (got 1125 bytes)."},
    // One filter fits the weight memory. 7x7 8-bit: 56 words per channel, 73 x 56 = 4088, 74 x 56 = 4144.
    {kConv, {8, 8, 73}, {{"kernel_size", 7}}, ""},
    {kConv, {8, 8, 74}, {{"kernel_size", 7}},
     "Filter size is too big to fit in a CNP: try decreasing the input channels or the bitwidth."},
    // Transposed 4x4 8-bit: 12 words per channel, 341 x 12 = 4092, 342 x 12 = 4104.
    {kUp, {4, 4, 341}, {{"kernel_size", 4}}, ""},
    {kUp, {4, 4, 342}, {{"kernel_size", 4}}, "Filter size is too big to fit in a CNP: try decreasing the input."},
    // The depthwise forms hold one channel per filter: no such rule.
    {kDw, {4, 4, 2048}, {{"kernel_size", 7}}, ""},
    {kDwUp, {4, 4, 2048}, {{"kernel_size", 4}}, ""},
    // Output bit width with and without activation.
    {kConv, {8, 8, 4}, {{"output_bits", 16}},
     "With activation output bitwidth should be <= 8.\nWith activation output bitwidth should be 4 or 8."},
    {kUp, {8, 8, 4}, {{"output_bits", 16}},
     "With activation output bitwidth should be <= 8.\nWith activation output bitwidth should be 8."},
    {kDw, {8, 8, 4}, {{"output_bits", 4}}, ""},
    {kConv, {8, 8, 4}, {{"output_bits", 4}, {"activation", 2}}, "4-bit activation is not supported with LUT."},
    {kDwUp, {8, 8, 4}, {{"output_bits", 4}, {"activation", 2}},
     "With activation output bitwidth should be 8.\n4-bit activation is not supported with LUT."},
    {kConv, {8, 8, 4}, {{"output_bits", 28}, {"activation", 0}}, ""},
    {kUp, {8, 8, 4}, {{"output_bits", 16}, {"activation", 0}}, "Without activation output bitwidth should be 8 or 28."},
    // 4-bit weights with an 8-bit output.
    {kConv, {8, 8, 4}, {{"weights_bits", 4}, {"activation", 0}}, "4-bit weights and 8-bit potential is not allowed.",
     4},
    {kDw, {8, 8, 4}, {{"weights_bits", 4}, {"activation", 0}}, "", 4},
    {kConv, {8, 8, 4}, {{"weights_bits", 4}}, "", 4},
    {kDw, {8, 8, 4}, {{"weights_bits", 4}}, "4-bit weights and 8-bit activation is not allowed.", 4},
    // Max pooling.
    {kConv, {2, 2, 4}, kMax2, ""},
    {kConv, {8, 8, 4}, {{"kernel_stride", 2}}, ""},
    {kDw, {2, 1, 4}, kMax2, "Pooling size cannot be greater than input dimensions."},
    {kConv, {2, 2, 4}, {{"pool_type", 1}, {"pool_size", 3}, {"kernel_stride", 2}, {"activation", 2}},
     "The CNP cannot support both pooling and stride.\nPooling size must be 1 or 2.\n"
     "Pooling size cannot be greater than input dimensions.\nMax pooling is not supported with activation LUT."},
    // Global average pooling.
    {kConv, {12, 12, 4}, kGlobal, ""},
    {kConv, {12, 13, 4}, kGlobal,
     "When using Global Average Pooling, input dimensions width * height cannot exceed 144."},
    {kDw, {65, 1, 4}, kGlobal, "When using Global Average Pooling, input width cannot exceed 64."},
    {kConv, {4, 4, 4}, {{"pool_type", 2}, {"pool_size", 2}, {"activation", 0}, {"output_bits", 28}},
     "With average pooling output bitwidth should be <= 8.\nGlobal Average pooling must be global."},
    // A Valid 3x3 kernel on three rows yields one (on two rows, none: the engine refuses it).
    {kConv, {4, 3, 4}, {{"pool_type", 2}, {"pool_size", -1}, {"padding", 0}}, "Only padding 'Same' is supported."},
    // 12 8-bit values take 12 bytes a row: 455 channels x 3 words x 12 rows = 16380 words fit,
    // 456 channels need 16416.
    {kConv, {12, 12, 455}, kGlobal, ""},
    {kConv, {12, 12, 456}, kGlobal, "When using Global Average Pooling, spatial split is impossible."},
};

TEST(V2ConvConstraints, EachRuleGivesItsLines) {
  const V2Mesh v2;
  for (const Rule& rule : kRules) {
    const auto layer = conv(rule.type, rule.input[0], rule.input[1], rule.input[2], rule.changes, rule.input_bits);
    const LayerMappingStatus expected =
        rule.lines.empty() ? LayerMappingStatus("conv") : LayerMappingError("conv", rule.lines);
    EXPECT_EQ(v2.check(*layer), expected) << static_cast<int>(rule.type) << " " << rule.input[2];
  }
}

TEST(V2ConvConstraints, CheckerFindingsComeFirst) {
  // Kernel 2 with 2-bit weights of which one needs 3 bits; the filter fit, which knows no
  // kernel 2, is skipped after the first failure.
  const auto layer = conv(kConv, 8, 8, 74, {{"kernel_size", 2}, {"weights_bits", 2}, {"padding", 0}});
  set_first(*layer, "weights", TensorType::int8, 3);
  set_first(*layer, "input_shift", TensorType::uint8, 8);
  EXPECT_EQ(V2Mesh().check(*layer),
            conv_error("The variable input_shift should only contain unsigned values that use no more than 3-bit, 4 "
                       "detected.\n"
                       "Only padding 'Same' is supported.\n"
                       "Kernel size must be 1, 3, 5 or 7.\n"
                       "Weights bitwidth should be 4-bit or 8-bit.\n"
                       "Expected bitwidth is 2-bit but provided weights are 3-bit."));
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

}  // namespace
}  // namespace ornix
