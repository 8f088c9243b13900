#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "backend_v1/v1_layers.h"

namespace ornix::v1::test {
namespace {

using T = LayerType;

// One change of a valid layer and the exact status it must get ("" for the valid layer).
struct Row {
  T type;
  Shape input;
  LayerParams::Values changes;
  std::string lines;
  HwVersion version = kA1;
  std::vector<std::string> zeroed = {};  // weight variables left all zero
  int32_t input_bits = 4;
};

const std::string kFilterTooBig =
    "Filter size is too big to fit in a CNP: try decreasing the input channels or the bitwidth.";
const std::string kSepZero = "All weights in a separable CNP layer cannot be zeroes.";
const LayerParams::Values kMaxPool2{{"pool_type", 1}, {"pooling_width", 2}, {"pooling_height", 2}};
const LayerParams::Values kAverage{{"pool_type", 2}, {"pooling_width", -1}, {"pooling_height", -1}};

LayerParams::Values with(LayerParams::Values values, const LayerParams::Values& more) {
  for (const auto& [key, value] : more) values[key] = value;
  return values;
}

const std::vector<Row> kRows{
    // Both CNP forms.
    {T::Convolutional, {8, 8, 4}, {}, ""},
    {T::SeparableConvolutional, {8, 8, 4}, {}, ""},
    {T::Convolutional, {4097, 4097, 1}, {}, "The maximum input width is 4096 (got 4097).\n"
                                            "The maximum input height is 4096 (got 4097)."},
    {T::Convolutional, {2, 2, 2049}, {{"filters", 2049}}, "The maximum input channel value is 2048 (got 2049).\n"
                                                          "The maximum number of filters is 2048 (got 2049)."},
    {T::Convolutional, {8, 8, 4}, {{"kernel_height", 5}, {"stride_y", 2}},
     "Kernel width and height must be equal.\nHorizontal and vertical strides must be equal."},
    {T::Convolutional, {8, 8, 4}, {{"stride_x", 3}, {"stride_y", 3}}, "Convolution stride must be 1 or 2."},
    {T::Convolutional, {8, 8, 4}, with(kMaxPool2, {{"stride_x", 2}, {"stride_y", 2}}), ""},
    {T::Convolutional, {8, 8, 4},
     with(kMaxPool2, {{"stride_x", 2}, {"stride_y", 2}, {"kernel_width", 5}, {"kernel_height", 5}}),
     "Convolution stride 2 is only supported for 3x3 kernels."},
    {T::Convolutional, {8, 8, 4}, {{"padding", 0}}, "Only padding same is supported."},
    // Max pooling.
    {T::Convolutional, {8, 8, 4}, with(kMaxPool2, {{"pooling_width", 4}, {"pooling_height", 4}}),
     "Pooling size must be 1, 2 or 3."},
    {T::Convolutional, {8, 8, 4}, with(kMaxPool2, {{"pooling_width", 3}, {"pooling_height", 3}}), ""},
    {T::Convolutional, {8, 8, 4}, with(kMaxPool2, {{"pooling_width", 3}, {"pooling_height", 3}}),
     "Pooling size 3 is not supported on Vamo_v2.", kVamoV2},
    {T::Convolutional, {8, 8, 4}, with(kMaxPool2, {{"pooling_height", 1}, {"pooling_stride_x", 1}}),
     "Pooling width and height must be equal."},
    {T::Convolutional, {8, 8, 4}, with(kMaxPool2, {{"pooling_stride_y", 1}}), "Pooling stride x and y must be equal."},
    {T::Convolutional, {8, 8, 4}, with(kMaxPool2, {{"pooling_stride_x", 3}, {"pooling_stride_y", 3}}),
     "Pooling stride must be equal or lower than pooling size."},
    {T::SeparableConvolutional, {2, 2, 4}, with(kMaxPool2, {{"pooling_width", 3}, {"pooling_height", 3}}),
     "Pooling size cannot be greater than input dimensions."},
    // Global average pooling; 32 x 4-bit x 896 channels x 3 rows = 10752 words, with 897 channels 10764.
    {T::Convolutional, {32, 3, 896}, kAverage, ""},
    {T::Convolutional, {32, 3, 897}, kAverage, "With average pooling, spatial split is impossible."},
    {T::Convolutional, {33, 8, 4}, kAverage, "With average pooling, input width cannot exceed 32."},
    {T::Convolutional, {8, 2, 4}, with(kAverage, {{"pooling_width", 2}, {"pooling_height", 2}}),
     "Average pooling must be global.\n"
     "When using Global Average Pooling, the output of the convolution must have at least 3 rows (currently 2)."},
    // 2^27 columns of 32-bit values: 2^32 bits a row, 2^27 words of input memory.
    {T::Convolutional, {1u << 27, 1, 1}, kAverage,
     "The maximum input width is 4096 (got 134217728).\nWith average pooling, input width cannot exceed 32.\n"
     "When using Global Average Pooling, the output of the convolution must have at least 3 rows (currently 1).\n"
     "With average pooling, spatial split is impossible.",
     kA1, {}, 32},
    // Standard CNP; 897 channels of 16 words take 7176 50-bit words of 7168.
    {T::Convolutional, {8, 8, 4}, {{"kernel_width", 4}, {"kernel_height", 4}, {"weights_bits", 8}},
     "Kernel size must be 1, 3, 5 or 7.\nStandard CNP weights bitwidth must be 1, 2 or 4."},
    {T::Convolutional, {4, 4, 897}, {}, kFilterTooBig},
    // Separable CNP.
    {T::SeparableConvolutional, {8, 8, 4}, {{"kernel_width", 1}, {"kernel_height", 1}, {"weights_bits", 1}},
     "Kernel size must be 3, 5 or 7.\nSeparable CNP weights bitwidth must be 2 or 4."},
    {T::SeparableConvolutional, {8, 8, 4}, {}, kSepZero, kA1, {"weights", "weights_pw"}},
    {T::SeparableConvolutional, {8, 8, 4}, {}, kSepZero, kA1, {"weights_pw"}},
    // FNP.
    {T::FullyConnected, {4, 4, 4}, {}, ""},
    {T::FullyConnected, {4, 4, 4}, {}, "Input bitwidth should be 1, 2 or 4.", kA1, {}, 8},
    {T::FullyConnected, {1, 1, 81920}, {}, ""},
    {T::FullyConnected, {1, 1, 100000}, {},
     "Input dimensions are too large to fit in a FNP. The maximum value is 57334.", kVamoV2},
    {T::FullyConnected, {4097, 1, 1}, {}, "The maximum input width is 4096 (got 4097)."},
    {T::FullyConnected, {4, 4, 4}, {{"weights_bits", 5}, {"act_bits", 3}},
     "Weight bits should be between 1 and 4 inclusive.\nact_bits should be 1, 2 or 4."},
    {T::FullyConnected, {4, 4, 4}, {{"activation", 0}, {"act_bits", 3}}, ""},
    // HRC (8 x 8 x 3 input).
    {T::InputConvolutional, {}, {}, ""},
    {T::InputConvolutional, {}, {{"kernel_height", 5}}, "Kernel size should be symmetric."},
    {T::InputConvolutional, {}, {{"kernel_width", 4}, {"kernel_height", 4}},
     "Kernel size should be 3, 5 or 7.\nThe parameter num_neurons should be set between 1 and 0."},
    {T::InputConvolutional, {}, {{"act_bits", 3}, {"input_channels", 2}, {"stride_x", 4}, {"stride_y", 4}},
     "The parameter act_bits should be 1, 2 or 4.\nThe parameter input_channels must be 1 or 3.\n"
     "The parameter stride_x should be 1, 2 or 3.\nThe parameter stride_y should be 1, 2 or 3."},
    {T::InputConvolutional, {}, {{"kernel_width", 5}, {"kernel_height", 5}, {"filters", 65}},
     "The parameter num_neurons should be set between 1 and 64."},
    {T::InputConvolutional, {},
     {{"kernel_width", 5}, {"kernel_height", 5}, {"filters", 65}, {"input_channels", 1}}, ""},
    {T::InputConvolutional, {}, {{"padding", 0}, {"stride_y", 2}, {"input_height", 4}},
     "With valid padding, a 3 kernel size and a 2 kernel stride, input second dimension size cannot be smaller than "
     "5.\nInput second dimension size cannot be smaller than 5."},
    // Valid padding needs 7 + 2147483646 rows, past INT32_MAX.
    {T::InputConvolutional, {}, {{"padding", 0}, {"kernel_width", 7}, {"kernel_height", 7}, {"stride_y", 2147483646}},
     "The parameter stride_y should be 1, 2 or 3.\n"
     "With valid padding, a 7 kernel size and a 2147483646 kernel stride, input second dimension size cannot be "
     "smaller than 2147483653.\nInput second dimension size cannot be smaller than 2147483653."},
    {T::InputConvolutional, {}, {{"kernel_width", 7}, {"kernel_height", 7}, {"input_width", 4}},
     "Input first dimension size cannot be smaller than 5.\n"
     "Input first dimension size cannot be smaller than kernel size."},
    {T::InputConvolutional, {}, {{"input_height", 257}}, "The maximum input second dimension size is 256 (got 257)."},
    {T::InputConvolutional, {}, kAverage, "The parameter pool_type cannot be Average."},
    {T::InputConvolutional, {}, with(kMaxPool2, {{"pooling_stride_x", -1}, {"pooling_stride_y", -1}}), ""},
    {T::InputConvolutional, {}, with(kMaxPool2, {{"pooling_width", 3}, {"pooling_height", 3}, {"pooling_stride_y", 2}}),
     "The parameter pooling_y should be 1 or 2.\nThe parameter pooling_x should be 1 or 2.\n"
     "The parameter pool_size and pool_stride should be equal."},
    {T::InputConvolutional, {}, with(kMaxPool2, {{"input_height", 5}, {"stride_y", 3}}),
     "With max pooling, output second dimension size must be at least 2."},
    {T::InputConvolutional, {}, {{"activation", 0}},
     "The first convolutional layer of a model can only be mapped if its activations are enabled."},
    {T::InputConvolutional, {}, {}, "All weights in a hrc layer cannot be zeroes.", kA1, {"weights"}},
    {T::InputConvolutional, {}, {{"padding_value", 255}}, ""},
    {T::InputConvolutional, {}, {{"padding_value", 256}},
     "The parameter padding_value should be between 0 and 255 (got 256)."},
    {T::InputConvolutional, {}, {{"padding_value", -1}, {"activation", 0}},
     "The first convolutional layer of a model can only be mapped if its activations are enabled.\n"
     "The parameter padding_value should be between 0 and 255 (got -1)."},
    // act_bits: 1, 2 or 4 with an activation; without one, what the registers' 2-bit field of
    // act_bits / 2 holds.
    {T::Convolutional, {8, 8, 4}, {{"act_bits", 3}}, "act_bits should be 1, 2 or 4."},
    {T::SeparableConvolutional, {8, 8, 4}, {{"act_bits", 8}}, "act_bits should be 1, 2 or 4."},
    // The CNP registers take input bits / 2 in two bits.
    {T::Convolutional, {8, 8, 4}, {}, "Input bitwidth should be 1, 2 or 4.", kA1, {}, 8},
    {T::SeparableConvolutional, {8, 8, 4}, {}, "Input bitwidth should be 1, 2 or 4.", kA1, {}, 3},
    {T::Convolutional, {8, 8, 4}, {}, "", kA1, {}, 1},
    {T::Convolutional, {8, 8, 4}, {{"activation", 0}, {"act_bits", 7}}, ""},
    {T::Convolutional, {8, 8, 4}, {{"activation", 0}, {"act_bits", 8}},
     "Without activation, act_bits should be between 0 and 7 (got 8)."},
    {T::FullyConnected, {4, 4, 4}, {{"activation", 0}, {"act_bits", -1}},
     "Without activation, act_bits should be between 0 and 7 (got -1)."},
};

TEST(V1LayerConstraints, EveryBrokenLimitOneLineInOrder) {
  for (const Row& row : kRows) {
    std::unique_ptr<Model> model;
    const auto layer = v1_layer(model, row.type, row.input, row.changes, row.input_bits);
    for (const std::string& name : row.zeroed) set_bytes(*layer, name, {});
    const std::string expected = row.lines.empty() ? "Success." : "Cannot map layer 'layer'. " + row.lines;
    EXPECT_EQ(V1Checker(row.version).check(*layer), expected) << row.lines;
  }
}

TEST(V1LayerConstraints, HrcActStepFitsTwentyFourBitsInSixteenths) {
  std::unique_ptr<Model> model;
  const auto layer = v1_layer(model, T::InputConvolutional, {}, {});
  auto steps = Dense::create(TensorType::float32, layer->variables().get("act_step")->shape());
  steps->data<float>()[1] = 1048575.0f;
  layer->variables().set("act_step", steps);
  EXPECT_EQ(V1Checker().check(*layer), "Success.");
  steps = Dense::create(TensorType::float32, steps->shape());
  steps->data<float>()[1] = 1048576.0f;
  steps->data<float>()[2] = 2097152.0f;
  layer->variables().set("act_step", steps);
  EXPECT_EQ(V1Checker().check(*layer), "Cannot map layer 'layer'. The parameter act_step should be between 0 and "
                                       "1048575. Receives act_step 1048576.");
}

// The first values of one variable of a valid layer and the exact status it must get.
struct ValueRow {
  T type;
  LayerParams::Values changes;
  std::string variable;
  std::vector<double> values;
  std::string lines;
};

// Stores `values` at the start of the layer's variable (in its own element type), the rest zero.
void set_values(Layer& layer, const std::string& name, const std::vector<double>& values) {
  const auto old = layer.variables().get(name);
  auto tensor = Dense::create(old->type(), old->shape(), old->layout());
  for (size_t i = 0; i < values.size(); ++i) {
    if (old->type() == TensorType::int32) {
      tensor->data<int32_t>()[i] = static_cast<int32_t>(values[i]);
    } else if (old->type() == TensorType::float32) {
      tensor->data<float>()[i] = static_cast<float>(values[i]);
    } else {
      reinterpret_cast<int8_t*>(tensor->buffer())[i] = static_cast<int8_t>(values[i]);
    }
  }
  layer.variables().set(name, tensor);
}

const std::string kFourBitCnpRange = "Weights contain values out of range (-7, 7) (e.g.: ";
const std::string kTwentyBitThresholds = "Thresholds contain values out of range (-524288, 524287) (e.g.: ";
const std::string kStepOf65536 = "act_step should be between 0 and 65535. Receives act_step 65536.";
const LayerParams::Values kFourBit{{"weights_bits", 4}};
const LayerParams::Values kOneBit{{"weights_bits", 1}};
const LayerParams::Values kNoActivation{{"activation", 0}, {"act_bits", 0}};

// Weights the CNP formats would change (a 4-bit -8 becomes 0, a 1-bit -1 of a 3x3 kernel is
// dropped, a separable 2-bit 2 overflows), and thresholds and steps beyond their fields.
const std::vector<ValueRow> kValueRows{
    {T::Convolutional, kFourBit, "weights", {-7, 7}, ""},
    {T::Convolutional, kFourBit, "weights", {1, -8}, kFourBitCnpRange + "-8)."},
    {T::Convolutional, kFourBit, "weights", {8}, kFourBitCnpRange + "8)."},
    {T::Convolutional, {}, "weights", {-1, 1, 2}, "Weights contain values out of range (-1, 1) (e.g.: 2)."},
    {T::Convolutional, kOneBit, "weights", {1, -1}, "Weights contain values out of range (0, 1) (e.g.: -1)."},
    {T::Convolutional, with(kOneBit, {{"kernel_width", 1}, {"kernel_height", 1}}), "weights", {1, -1}, ""},
    {T::SeparableConvolutional, {}, "weights", {-2, 1}, ""},
    {T::SeparableConvolutional, {}, "weights", {2}, "Weights contain values out of range (-2, 1) (e.g.: 2)."},
    {T::SeparableConvolutional, kFourBit, "weights_pw", {-8, 7, 8}, "Weights contain values out of range (-8, 7) "
                                                                     "(e.g.: 8)."},
    {T::Convolutional, {}, "threshold", {524287, -524288}, ""},
    {T::Convolutional, {}, "threshold", {0, 524288}, kTwentyBitThresholds + "524288)."},
    {T::Convolutional, kNoActivation, "threshold", {1 << 30}, ""},
    {T::Convolutional, {}, "act_step", {65535}, ""},
    {T::Convolutional, {}, "act_step", {1, 65536}, kStepOf65536},
    {T::SeparableConvolutional, kNoActivation, "act_step", {65536}, kStepOf65536},
    {T::FullyConnected, {}, "threshold", {-524289}, kTwentyBitThresholds + "-524289)."},
    {T::FullyConnected, kNoActivation, "threshold", {-524289}, ""},
    {T::FullyConnected, {}, "act_step", {65536}, kStepOf65536},
    {T::FullyConnected, kNoActivation, "act_step", {65536}, ""},
    {T::InputConvolutional, {}, "threshold", {8388607, -8388608}, ""},
    {T::InputConvolutional, {}, "threshold", {8388608},
     "Thresholds contain values out of range (-8388608, 8388607) (e.g.: 8388608)."},
};

TEST(V1LayerConstraints, NeuronValuesFitWhatTheRecordersWrite) {
  for (const ValueRow& row : kValueRows) {
    std::unique_ptr<Model> model;
    const auto layer = v1_layer(model, row.type, {8, 8, 4}, row.changes);
    set_values(*layer, row.variable, row.values);
    const std::string expected = row.lines.empty() ? "Success." : "Cannot map layer 'layer'. " + row.lines;
    EXPECT_EQ(V1Checker().check(*layer), expected) << row.variable << " " << row.lines;
  }
}

TEST(V1LayerConstraints, FnpInputMemoryAndUnbuiltConvolution) {
  std::unique_ptr<Model> model;
  const auto dense = v1_layer(model, T::FullyConnected, {4, 4, 5}, {});
  V1Checker v1;
  v1.table.fnp_input_memory_size = 3;  // 80 values take 3 words
  EXPECT_EQ(v1.check(*dense), "Success.");
  v1.table.fnp_input_memory_size = 2;
  EXPECT_EQ(v1.check(*dense), "Cannot map layer 'layer'. Input size exceeds memory. Maximum size is 8 bytes. (got 12 "
                              "bytes).");

  const auto loose = ornix::test::make_layer(T::Convolutional, base_params(T::Convolutional), "loose");
  EXPECT_THAT([&] { v1.check(*loose); }, ornix::test::throws_text<std::runtime_error>("The layer loose is not built."));
}

}  // namespace
}  // namespace ornix::v1::test
