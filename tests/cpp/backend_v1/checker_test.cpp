#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "backend_v1/v1_layers.h"
#include "mapping/hardware_backend.h"
#include "mapping/hardware_backend_registration.h"
#include "ornix/layers/dense.h"
#include "support/fake_mapping.h"

namespace ornix::v1::test {
namespace {

using T = LayerType;

std::string text(const LayerMappingStatus& status) { return status.to_string(); }

// A CNP share of `filters` filters on a window at (x, 0) of `width` columns.
hw::Component cnp(uint32_t x, uint32_t width, uint32_t filters = 8) {
  NpAllocation share{0, filters, {x, 0, Shape{width, 8, 1}}, {}, true};
  return {hw::Type::CNP1, {}, share, {}};
}

// Unsupervised learning with `num_weights`, 2 classes and mid values, `changes` applied.
std::shared_ptr<LearningParams> unsupervised(double num_weights, const LearningParams::Values& changes = {}) {
  LearningParams::Values values{{"num_weights", num_weights}, {"num_classes", 2},       {"initial_plasticity", 0.5},
                                {"learning_competition", 0.5}, {"min_plasticity", 0.25}, {"plasticity_decay", 0.5}};
  for (const auto& [key, value] : changes) values[key] = value;
  return LearningParams::create(LearningType::Unsupervised, values);
}

// Makes the model's last layer learn with `num_weights` and every other unsupervised parameter.
void compile(Model& model, double num_weights) { model.compile(unsupervised(num_weights)); }

const char* const kVamoV1Refused =
    "Cannot map layer 'layer'. Vamo_v1 is not supported on this version. Please install ornix 2.0.5 instead.";

TEST(V1Checker, VersionAndLayerTypeGateEveryLayer) {
  std::unique_ptr<Model> model;
  const auto dense1d = ornix::test::add_layer(*ornix::test::model_with_input(4, 4, 4), T::Dense1D, {{"units", 4}});
  const V1Checker v1;
  const V1Checker vamo_v1({0xD3, 0x00, 0x00, 0x01});
  for (const T type : {T::Convolutional, T::SeparableConvolutional, T::InputConvolutional, T::FullyConnected}) {
    EXPECT_EQ(vamo_v1.check(*v1_layer(model, type, {4, 4, 4}, {{"kernel_width", 2}})), kVamoV1Refused);
  }
  EXPECT_EQ(vamo_v1.check(*dense1d), kVamoV1Refused);
  EXPECT_EQ(v1.check(*dense1d), "Cannot map layer 'layer'. Unsupported layer type on Ornix v1.");
  EXPECT_EQ(text(v1.checker.check_layer_mappings(*dense1d, {})), "Cannot map layer 'layer'. unknown Layer type.");
}

TEST(V1Checker, FullyConnectedWeightRangeAndLearningCount) {
  std::unique_ptr<Model> model;
  const V1Checker v1;
  // Weights of b bits lie strictly between -R and R, R = 2^(b-1) and 2 for 1 bit; then 1-bit
  // weights must not be negative (the FNP memory has no negative plane for them).
  struct RangeCase {
    int32_t bits;
    std::vector<int8_t> weights;
    std::string expected;
  };
  const std::vector<RangeCase> ranges{
      {4, {7, -7, 0, -8, 8}, "Cannot map layer 'layer'. Weights contain values out of range (-7, 7) (e.g.: -8)."},
      {2, {1, -1, 0}, "Success."},
      {2, {1, -2}, "Cannot map layer 'layer'. Weights contain values out of range (-1, 1) (e.g.: -2)."},
      {1, {0, 1, 1}, "Success."},
      {1, {1, 0, -1}, "Cannot map layer 'layer'. 1-bit weights must be 0 or 1: the FNP cannot store -1."},
      {1, {1, 2}, "Cannot map layer 'layer'. Weights contain values out of range (-1, 1) (e.g.: 2)."},
      {1, {-1, -2}, "Cannot map layer 'layer'. Weights contain values out of range (-1, 1) (e.g.: -2)."},
  };
  for (const RangeCase& c : ranges) {
    const auto dense = v1_layer(model, T::FullyConnected, {4, 4, 4}, {{"weights_bits", c.bits}});
    set_bytes(*dense, "weights", c.weights);
    EXPECT_EQ(v1.check(*dense), c.expected) << c.bits << "-bit weights";
  }
  // A failed FNP check is the whole answer.
  const auto eight_bit = v1_layer(model, T::FullyConnected, {4, 4, 4}, {{"weights_bits", 8}});
  set_bytes(*eight_bit, "weights", {100});
  EXPECT_EQ(v1.check(*eight_bit), "Cannot map layer 'layer'. Weight bits should be between 1 and 4 inclusive.");

  // 10 neurons of 64 weights, neuron n's weight k at n + 10k: two non-zero weights each.
  const auto learning = v1_layer(model, T::FullyConnected, {4, 4, 4}, {{"weights_bits", 1}});
  // Compiling takes whole counts only; the check truncates what the layer is given.
  compile(*model, 2);
  const auto params = unsupervised(2.9);
  dynamic_cast<FullyConnected&>(*learning).set_learning(params);
  set_bytes(*learning, "weights", std::vector<int8_t>(20, 1));
  EXPECT_EQ(v1.check(*learning), "Success.");
  std::vector<int8_t> short_neuron(20, 1);
  short_neuron[13] = 0;
  set_bytes(*learning, "weights", short_neuron);
  EXPECT_EQ(v1.check(*learning), "Cannot map layer 'layer'. The number of weights per neuron should match the "
                                 "num_weights OrnixUnsupervised parameter.");

  // Learning parameters given without compile: the layer holds no learning variables, which
  // leaves nothing of theirs to check.
  const auto uncompiled = v1_layer(model, T::FullyConnected, {4, 4, 4}, {{"weights_bits", 1}});
  dynamic_cast<FullyConnected&>(*uncompiled).set_learning(params);
  set_bytes(*uncompiled, "weights", std::vector<int8_t>(20, 1));
  ASSERT_FALSE(uncompiled->variables().has("threshold_learning"));
  EXPECT_EQ(v1.check(*uncompiled), "Success.");
}

// A learning layer's image holds 1-bit weights, threshold_learning in 20-bit two's complement
// but never negative, and thswap in 16 bits: the recorder refuses or overflows on anything else.
TEST(V1Checker, LearningFullyConnectedValuesFitItsImage) {
  struct LearningCase {
    int32_t weights_bits;
    const char* variable;
    int32_t value;
    std::string expected;
  };
  const std::vector<LearningCase> cases{
      {1, "threshold_learning", 524287, ""},
      {1, "thswap", 65535, ""},
      {2, "thswap", 0, "A learning layer must have 1-bit weights."},
      {1, "threshold_learning", 524288,
       "The variable threshold_learning contains values out of range (0, 524287) (e.g.: 524288)."},
      {1, "threshold_learning", -1,
       "The variable threshold_learning contains values out of range (0, 524287) (e.g.: -1)."},
      {1, "thswap", 65536, "The variable thswap contains values out of range (0, 65535) (e.g.: 65536)."},
  };
  std::unique_ptr<Model> model;
  const V1Checker v1;
  for (const LearningCase& c : cases) {
    const auto learning = v1_layer(model, T::FullyConnected, {4, 4, 4}, {{"weights_bits", c.weights_bits}});
    compile(*model, 1);
    set_bytes(*learning, "weights", std::vector<int8_t>(10, 1));  // one weight per neuron
    const auto old = learning->variables().get(c.variable);
    auto values = Dense::create(TensorType::int32, old->shape());
    values->data<int32_t>()[3] = c.value;
    learning->variables().set(c.variable, values);
    EXPECT_EQ(v1.check(*learning), c.expected.empty() ? "Success." : "Cannot map layer 'layer'. " + c.expected)
        << c.variable << " " << c.value;
  }
}

// The learning parameters give register values of 20 and 16 bits, and each neuron's class takes
// 10 bits: the recorder overflows on anything wider.
TEST(V1Checker, LearningParametersFitTheirRegisters) {
  struct ParamsCase {
    int32_t units;
    LearningParams::Values changes;
    std::string expected;
  };
  const std::string k16Bits = ", which does not fit the 16-bit register field.";
  const std::vector<ParamsCase> cases{
      // num_weights 64: 64 x 1023.984375 = 65535.
      {10, {{"min_plasticity", 1023.984375}, {"initial_plasticity", 1023.984375}, {"plasticity_decay", 1}}, ""},
      {10, {{"min_plasticity", 1024}}, "The learning parameters num_weights and min_plasticity give 65536" + k16Bits},
      {10, {{"initial_plasticity", 1024}, {"plasticity_decay", 1}},
       "The learning parameters num_weights, initial_plasticity and plasticity_decay give 65536" + k16Bits},
      // (1 - learning_competition) x 64 = 1048575, then 1048576.
      {10, {{"learning_competition", -16382.984375}}, ""},
      {10, {{"learning_competition", -16383}},
       "The learning parameters num_weights and learning_competition give 1048576, which does not fit the 20-bit "
       "register field."},
      {1023, {{"num_classes", 1023}}, ""},
      {1024, {{"num_classes", 1024}},
       "The neurons of the learning layer take classes up to 1024; the register field holds at most 1023."},
  };
  std::unique_ptr<Model> model;
  const V1Checker v1;
  for (const ParamsCase& c : cases) {
    // 64 inputs, every weight 1: num_weights 64.
    const auto learning =
        v1_layer(model, T::FullyConnected, {4, 4, 4}, {{"weights_bits", 1}, {"units", c.units}});
    set_bytes(*learning, "weights", std::vector<int8_t>(static_cast<size_t>(c.units) * 64, 1));
    model->compile(unsupervised(64, c.changes));
    const std::string expected = c.expected.empty() ? "Success." : "Cannot map layer 'layer'. " + c.expected;
    EXPECT_EQ(v1.check(*learning), expected) << c.units << " units";
  }
}

TEST(V1Checker, MaxPoolingCnpIsFollowedByACnp) {
  auto model = ornix::test::model_with_input(8, 8, 4);
  LayerParams::Values pooled = base_params(T::Convolutional);
  pooled["pool_type"] = 1;
  pooled["pooling_width"] = pooled["pooling_height"] = 2;
  const std::vector<std::shared_ptr<Layer>> run{ornix::test::add_layer(*model, T::Convolutional, pooled, "pool"),
                                                ornix::test::add_layer(*model, T::FullyConnected,
                                                                       base_params(T::FullyConnected), "dense")};
  const V1Checker v1;
  EXPECT_EQ(text(v1.checker.check_layer_sequence(run.begin(), run.begin() + 1, {})),
            "Cannot map layer 'pool'. A convolutional or separable convolutional layer with max pooling cannot be the "
            "last layer of a sequence.");
  EXPECT_EQ(text(v1.checker.check_layer_sequence(run.begin(), run.end(), {})),
            "Cannot map layer 'dense'. A convolutional or separable convolutional layer with max pooling must be "
            "followed by another convolutional or separable convolutional layer. Layer 'pool' has max pooling.");
  EXPECT_EQ(v1.checker.check_layer_sequence(run.begin() + 1, run.end(), {}), LayerMappingStatus(""));
}

// The checker's growing check gives, layer by layer, the whole run's answer: the refused
// successor keeps the run refused once a later layer ends it.
TEST(V1Checker, AGrowingRunGetsTheWholeRunsAnswerAtEveryLayer) {
  auto model = ornix::test::model_with_input(8, 8, 4);
  LayerParams::Values pooled = base_params(T::Convolutional);
  pooled["pool_type"] = 1;
  pooled["pooling_width"] = pooled["pooling_height"] = 2;
  const std::vector<std::shared_ptr<Layer>> run{
      ornix::test::add_layer(*model, T::Convolutional, pooled, "pool"),
      ornix::test::add_layer(*model, T::FullyConnected, base_params(T::FullyConnected), "dense"),
      ornix::test::add_layer(*model, T::FullyConnected, base_params(T::FullyConnected), "last")};
  const std::string pooled_last = "Cannot map layer 'pool'. A convolutional or separable convolutional layer with "
                                  "max pooling cannot be the last layer of a sequence.";
  const std::string after_pooling = "Cannot map layer 'dense'. A convolutional or separable convolutional layer "
                                    "with max pooling must be followed by another convolutional or separable "
                                    "convolutional layer. Layer 'pool' has max pooling.";
  const V1Checker v1;
  const auto check = v1.checker.start_sequence_check({});
  const std::string answers[] = {pooled_last, after_pooling, after_pooling};
  for (size_t i = 0; i < run.size(); ++i) {
    const LayerMappingStatus grown = check->extend(run[i]);
    EXPECT_EQ(text(grown), answers[i]) << i;
    EXPECT_EQ(grown, v1.checker.check_layer_sequence(run.begin(), run.begin() + static_cast<std::ptrdiff_t>(i) + 1, {}));
  }
}

TEST(V1Checker, NpPlacementRules) {
  std::unique_ptr<Model> model;
  const V1Checker v1;
  const auto conv = v1_layer(model, T::Convolutional, {64, 8, 4}, {});
  EXPECT_EQ(text(v1.checker.check_layer_mappings(*conv, {cnp(0, 30)})), "Success.");
  EXPECT_EQ(text(v1.checker.check_layer_mappings(*conv, {cnp(0, 37), cnp(37, 27), cnp(64, 33)})),
            "Cannot map layer 'layer'. The input length 36 exceeds the maximum value for NP input width: 32.");

  const LayerParams::Values strided_pool{{"stride_x", 2}, {"stride_y", 2}, {"pool_type", 1},
                                         {"pooling_width", 2}, {"pooling_height", 2}, {"pooling_stride_x", 1}};
  const auto pooled = v1_layer(model, T::Convolutional, {64, 8, 4}, strided_pool);
  EXPECT_TRUE(v1.checker.check_layer_mappings(*pooled, {cnp(0, 32)}).success());
  EXPECT_EQ(text(v1.checker.check_layer_mappings(*pooled, {cnp(0, 32), cnp(32, 32)})),
            "Cannot map layer 'layer'. Cannot have convolution stride > 1 and max pooling if the layer is mapped on "
            "multiple NPs.\nCannot have pooling size > pooling stride if the layer is mapped spatially on multiple "
            "NPs.");

  // Pooling strides left out are the pooling sizes.
  const auto default_strides = v1_layer(model, T::Convolutional, {64, 8, 4},
                                        {{"pool_type", 1}, {"pooling_width", 2}, {"pooling_height", 2}});
  EXPECT_TRUE(v1.checker.check_layer_mappings(*default_strides, {cnp(0, 32), cnp(32, 32)}).success());

  // Vamo_v2, one channel, 24 filters: 8 filters make one group of 8, 16 two.
  const V1Checker vamo_v2(kVamoV2);
  const auto one_channel = v1_layer(model, T::Convolutional, {8, 8, 1}, {{"filters", 24}});
  EXPECT_EQ(text(vamo_v2.checker.check_layer_mappings(*one_channel, {cnp(0, 8, 8), cnp(0, 8, 16)})),
            "Cannot map layer 'layer'. With one input channel, the number of neurons per NP / 8 must be even.");
  EXPECT_TRUE(v1.checker.check_layer_mappings(*one_channel, {cnp(0, 8, 8), cnp(0, 8, 16)}).success());
}

TEST(V1Checker, MemoryFitsAndSplitGeometry) {
  std::unique_ptr<Model> model;
  const V1Checker v1;  // 10752 words single-buffered, 5376 dual-buffered; one 4-byte word per row here
  EXPECT_TRUE(v1.checker.is_sram_input_fit_single_buffer(hw::Type::CNP1, 10752, 4, 1, 0, 8, 0));
  EXPECT_FALSE(v1.checker.is_sram_input_fit_single_buffer(hw::Type::CNP1, 10753, 4, 1, 0, 8, 0));
  EXPECT_TRUE(v1.checker.is_sram_input_fit_dual_buffer(hw::Type::CNP1, 5376, 8, 1, 0, 4, 0));
  EXPECT_FALSE(v1.checker.is_sram_input_fit_dual_buffer(hw::Type::CNP1, 5377, 8, 1, 0, 4, 0));

  const auto conv = v1_layer(model, T::Convolutional, {8, 8, 4},
                             {{"kernel_width", 5}, {"kernel_height", 3}, {"pool_type", 1}, {"pooling_width", 2},
                              {"pooling_height", 3}});
  EXPECT_EQ(v1.checker.np_split_params(hw::Type::CNP1, *conv->params()), (NpSplitParams{2, 2, 1, 1, 1, 2, 3, 8}));
  // The geometry needs six keys and reads no other.
  const LayerParams::Values six{{"kernel_width", 7}, {"kernel_height", 3}, {"pool_type", 2},
                                {"pooling_width", -1}, {"pooling_height", 4}, {"filters", 16}};
  EXPECT_EQ(v1.checker.np_split_params(hw::Type::CNP1, *LayerParams::create(T::Convolutional, six)),
            (NpSplitParams{3, 3, 1, 1, 2, 0xFFFFFFFF, 4, 16}));
  for (const auto& [key, value] : six) {
    LayerParams::Values five = six;
    five.erase(key);
    EXPECT_THROW(v1.checker.np_split_params(hw::Type::CNP1, *LayerParams::create(T::Convolutional, five)),
                 std::invalid_argument)
        << key;
  }

  // 10 neurons of 64 2-bit weights: (2 x 2 + 4) x 10 = 80 words.
  const auto dense = v1_layer(model, T::FullyConnected, {4, 4, 4}, {});
  HardwareConstraints table = v1.table;
  table.fnp3_sram_size = 80;
  EXPECT_TRUE(v1.checker.check_fnp3_sram_size(table, *dense));
  table.fnp3_sram_size = 79;
  EXPECT_FALSE(v1.checker.check_fnp3_sram_size(table, *dense));

  // A budget above the hardware's (a mesh given more SRAM) still leaves the image's size to a
  // 16-bit register field: 1-bit weights, (ceil(inputs / 32) + 4) x units words.
  table.fnp3_sram_size = 100000;
  const auto largest = v1_layer(model, T::FullyConnected, {251 * 32, 1, 1}, {{"units", 257}, {"weights_bits", 1}});
  EXPECT_TRUE(v1.checker.check_fnp3_sram_size(table, *largest));  // 255 x 257 = 65535 words
  const auto too_large = v1_layer(model, T::FullyConnected, {12 * 32, 1, 1}, {{"units", 4096}, {"weights_bits", 1}});
  EXPECT_FALSE(v1.checker.check_fnp3_sram_size(table, *too_large));  // 16 x 4096 = 65536 words
}

// InputConvolutional -> Convolutional -> FullyConnected through the built-in back end on a
// generation-1 device with an HRC, four CNPs and an FNP3.
TEST(V1Checker, BuiltInBackEndMapsThroughTheChecker) {
  std::vector<np::Info> nps;
  for (uint8_t id = 0; id < 4; ++id) nps.push_back({{1, 1, id, 0}, {hw::Type::CNP1, hw::Type::CNP2}, false});
  nps.push_back({{2, 1, 0, 0}, {hw::Type::FNP3}, false});
  const auto device = std::make_shared<ornix::test::FakeMeshDevice>(
      kA1, Mesh(IpVersion::v1, {1, 1, 0, 0}, {1, 1, 1, 0}, np::Info{{}, {hw::Type::HRC}, false}, nps, {}));
  const ornix::test::ScopedMapper mapper(make_hardware_mapper([] { return std::make_unique<HardwareBackend>(); }));
  // A valid model passes every check and maps into one sequence of one pass.
  auto model = Model::create();
  set_bytes(*ornix::test::add_layer(*model, T::InputConvolutional, base_params(T::InputConvolutional), "hrc"),
            "weights", {1});
  ornix::test::add_layer(*model, T::Convolutional, base_params(T::Convolutional), "conv");
  ornix::test::add_layer(*model, T::FullyConnected, base_params(T::FullyConnected), "dense");
  model->map(device, true, nullptr);
  ASSERT_EQ(model->sequences().size(), 1u);
  EXPECT_EQ(model->sequences()[0]->passes().size(), 1u);

  LayerParams::Values broken = base_params(T::Convolutional);
  broken.insert_or_assign("kernel_width", 4);
  broken.insert_or_assign("kernel_height", 4);
  broken.insert_or_assign("weights_bits", 8);
  model = ornix::test::model_with_input(8, 8, 8);
  ornix::test::add_layer(*model, T::Convolutional, broken, "conv");
  ornix::test::add_layer(*model, T::FullyConnected, base_params(T::FullyConnected), "dense");
  EXPECT_THAT([&] { model->map(device, true, nullptr); },
              ornix::test::throws_text<std::runtime_error>("Cannot map layer 'conv'. Kernel size must be 1, 3, 5 or "
                                                           "7.\nStandard CNP weights bitwidth must be 1, 2 or 4."));
}

}  // namespace
}  // namespace ornix::v1::test
