#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/error_text.h"
#include "layer_fixtures.h"
#include "ornix/learning_params.h"
#include "software_sequence.h"

namespace ornix {
namespace {

using test::add_layer;
using test::model_with_input;

template <typename T>
std::shared_ptr<Dense> tensor(TensorType type, const Shape& shape, const std::vector<T>& values) {
  return Dense::copy(values.data(), values.size() * sizeof(T), type, shape);
}

template <typename T>
std::vector<T> contents(const Dense& t) {
  return {t.data<T>(), t.data<T>() + t.size()};
}

std::vector<std::shared_ptr<LayerImpl>> impls(const Model& model) {
  std::vector<std::shared_ptr<LayerImpl>> layers;
  for (const auto& layer : model.layers()) layers.push_back(std::dynamic_pointer_cast<LayerImpl>(layer));
  return layers;
}

// Input (2, 2, 1) -> Conv2D 2x2, 2 filters, ReLU, 4 bits -> Dense1D of 2 neurons, no activation.
class ConvDenseModel : public ::testing::Test {
 protected:
  ConvDenseModel() : model_(model_with_input(2, 2, 1)) {
    const auto conv = add_layer(*model_, LayerType::Conv2D,
                                {{"kernel_size", 2}, {"filters", 2}, {"activation", 1}, {"output_bits", 4}}, "conv");
    Variables& v = conv->variables();
    v.set("weights", tensor<int8_t>(TensorType::int8, {2, 2, 1, 2}, {1, 1, 1, 0, 1, 0, 1, -1}));
    v.set("input_shift", tensor<uint8_t>(TensorType::uint8, {1}, {1}));
    v.set("bias", tensor<int8_t>(TensorType::int8, {2}, {3, 1}));
    v.set("bias_shift", tensor<uint8_t>(TensorType::uint8, {2}, {1, 0}));
    v.set("output_shift", tensor<int8_t>(TensorType::int8, {2}, {-1, 0}));
    const auto dense = add_layer(*model_, LayerType::Dense1D, {{"units", 2}}, "dense");
    dense->variables().set("weights", tensor<int8_t>(TensorType::int8, {2, 2}, {1, -2, 3, 4}));
    dense->variables().set("output_scales", tensor<uint8_t>(TensorType::uint8, {2}, {1, 1}));
  }

  std::unique_ptr<Model> model_;
  // Shifted inputs 2, 4, 6, 8 and 30 x 4.
  const std::shared_ptr<Dense> samples_ =
      tensor<uint8_t>(TensorType::uint8, {2, 2, 2, 1}, {1, 2, 3, 4, 15, 15, 15, 15});
};

TEST_F(ConvDenseModel, ForwardGivesHandCheckedOutputs) {
  // conv: filter 0 sums the window, filter 1 is top-left minus bottom-right; plus bias << shift:
  //   sample 1: 20 + 6 = 26 -> (26 + 1) >> 1 = 13, -6 + 1 -> ReLU 0;
  //   sample 2: 120 + 6 -> 63 -> 15 (4 bits), 0 + 1 = 1.
  // dense: (13, 0) -> (13, -26); (15, 1) -> (15 + 3, -30 + 4).
  const auto outputs = model_->forward(samples_, 0);
  EXPECT_EQ(outputs->shape(), (Shape{2, 1, 1, 2}));
  EXPECT_EQ(contents<int32_t>(*outputs), (std::vector<int32_t>{13, -26, 18, -26}));

  model_->pop_layer();  // the conv's own 4-bit unsigned outputs
  const auto conv = model_->forward(samples_, 1);
  EXPECT_EQ(conv->type(), TensorType::uint8);
  EXPECT_EQ(contents<uint8_t>(*conv), (std::vector<uint8_t>{13, 0, 15, 1}));
}

TEST_F(ConvDenseModel, PredictScalesThroughTheDequantizer) {
  const auto dequantizer = add_layer(*model_, LayerType::Dequantizer, {}, "dequantizer");
  dequantizer->variables().set("scales", tensor<float>(TensorType::float32, {2}, {0.5f, 2.0f}));
  const auto predicted = model_->predict(samples_, 0);
  EXPECT_EQ(predicted->type(), TensorType::float32);
  EXPECT_EQ(contents<float>(*predicted), (std::vector<float>{6.5f, -52.0f, 9.0f, -52.0f}));
  EXPECT_EQ(error_text([&] { run_software(impls(*model_), *samples_, SoftwareMode::Fit, {0}); }),
            "Layer dequantizer cannot learn: fit needs a last FullyConnected layer compiled with learning parameters.");
}

TEST(SoftwareRun, BufferTempConvKeepsItsFramesAcrossSamples) {
  auto model = Model::create();
  model->add(test::make_layer(
      LayerType::InputData, {{"input_width", 1}, {"input_height", 1}, {"input_channels", 1}, {"input_bits", 2}}, "in"));
  const auto temporal = add_layer(*model, LayerType::BufferTempConv, {{"fifo_size", 2}, {"filters", 1}}, "temporal");
  temporal->variables().set("weights", tensor<int8_t>(TensorType::int8, {1, 1, 2, 1}, {1, 10}));  // older, newer
  const auto outputs = model->forward(tensor<uint8_t>(TensorType::uint8, {3, 1, 1, 1}, {1, 2, 3}), 0);
  EXPECT_EQ(contents<int32_t>(*outputs), (std::vector<int32_t>{10, 21, 32}));
  EXPECT_EQ(error_text([&] { model->forward(tensor<uint8_t>(TensorType::uint8, {1, 1, 1, 1}, {4}), 0); }),
            "Error when running layer 'in' in software: Input value 4 does not fit the model's 2-bit unsigned inputs.");
}

// Average pooling sums the part of each window that lies on the input, whatever the window's
// size: one far larger than the input averages all of it (0..15: 7.5, rounded half up).
TEST(SoftwareRun, AveragePoolingAveragesTheInputEachWindowCovers) {
  struct Row {
    uint32_t width, height;
    std::vector<uint8_t> values;
    int32_t pool_size, pool_stride;
    std::vector<int32_t> expected;
  };
  std::vector<uint8_t> counting(16);
  for (uint8_t i = 0; i < 16; ++i) counting[i] = i;
  const std::vector<Row> rows{
      {4, 4, counting, 1 << 20, 1, std::vector<int32_t>(16, 8)},
      // Same padding of 1 column after: windows {1, 2, 3} and {3, 4}.
      {4, 1, {1, 2, 3, 4}, 3, 2, {2, 4}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.pool_size);
    auto model = model_with_input(row.width, row.height, 1);
    const auto conv = add_layer(*model, LayerType::Conv2D,
                                {{"kernel_size", 1}, {"filters", 1}, {"padding", 1}, {"pool_type", 2},
                                 {"pool_size", row.pool_size}, {"pool_stride", row.pool_stride}},
                                "pooled");
    conv->variables().set("weights", tensor<int8_t>(TensorType::int8, {1, 1, 1, 1}, {1}));
    const auto outputs = model->forward(tensor<uint8_t>(TensorType::uint8, {1, row.width, row.height, 1}, row.values), 0);
    EXPECT_EQ(contents<int32_t>(*outputs), row.expected);
  }
}

// FullyConnected weights (neurons, inputs) are read in memory order, (inputs, neurons) rows:
// rows (1, -1), (2, 0), (3, 4) give 1 + 4 + 9 and -1 + 12 for the inputs 1, 2, 3. Weights of a
// wider type are converted once to int8, and refused when a value does not fit.
TEST(SoftwareRun, FullyConnectedReadsItsWeightsOfAnyIntegerType) {
  const std::vector<int32_t> rows{1, -1, 2, 0, 3, 4};
  const std::vector<int32_t> wide{1, -1, 2, 0, 3, 200};
  const std::vector<int8_t> narrow(rows.begin(), rows.end());
  const struct {
    std::shared_ptr<Dense> weights;
    std::string result;
  } cases[] = {
      {tensor<int8_t>(TensorType::int8, {3, 2}, narrow), "14 11"},
      {tensor<int32_t>(TensorType::int32, {3, 2}, rows), "14 11"},
      {tensor<int32_t>(TensorType::int32, {3, 2}, wide),
       "Error when running layer 'fc' in software: Values of int8 do not fit their type."},
  };
  for (const auto& c : cases) {
    auto model = model_with_input(1, 1, 3);
    const auto fc = add_layer(*model, LayerType::FullyConnected, {{"units", 2}}, "fc");
    fc->variables().set("weights", c.weights);
    std::string result;
    try {
      const auto out = contents<int32_t>(*model->forward(tensor<uint8_t>(TensorType::uint8, {1, 1, 1, 3}, {1, 2, 3}), 0));
      result = std::to_string(out[0]) + " " + std::to_string(out[1]);
    } catch (const std::exception& error) {
      result = error.what();
    }
    EXPECT_EQ(result, c.result);
  }
}

// Every layer class after a (4, 4, 2) input (twice for the merge layers) gives its declared
// output shape in the type its output bits and signedness call for.
TEST(SoftwareRun, EveryLayerClassGivesItsDeclaredOutput) {
  struct Row {
    LayerType type;
    LayerParams::Values params;
    TensorType output;
  };
  const std::vector<Row> rows{
      {LayerType::FullyConnected, {{"units", 5}}, TensorType::int32},
      {LayerType::Convolutional, {{"kernel_width", 3}, {"kernel_height", 1}, {"filters", 2}}, TensorType::int32},
      {LayerType::SeparableConvolutional,
       {{"kernel_width", 3}, {"kernel_height", 3}, {"filters", 4}, {"padding", 1}, {"activation", 1}, {"act_bits", 4}},
       TensorType::uint8},
      {LayerType::Add, {}, TensorType::uint8},
      {LayerType::Concatenate, {}, TensorType::uint8},
      {LayerType::Conv2D,
       {{"kernel_size", 3}, {"filters", 3}, {"kernel_stride", 2}, {"padding", 1}, {"pool_type", 2}, {"pool_size", -1}},
       TensorType::int32},
      {LayerType::InputConv2D, {{"kernel_size", 3}, {"filters", 2}, {"padding", 1}}, TensorType::int32},
      {LayerType::DepthwiseConv2D, {{"kernel_size", 3}, {"padding", 1}, {"pool_type", 1}, {"pool_size", 2}},
       TensorType::int32},
      {LayerType::Conv2DTranspose, {{"kernel_size", 3}, {"filters", 2}}, TensorType::int32},
      {LayerType::DepthwiseConv2DTranspose, {{"kernel_size", 3}, {"activation", 1}, {"output_bits", 8}},
       TensorType::uint8},
      {LayerType::ExtractToken, {}, TensorType::uint8},
      {LayerType::Dequantizer, {}, TensorType::float32},
      {LayerType::BufferTempConv, {{"fifo_size", 3}, {"filters", 2}}, TensorType::int32},
      {LayerType::DepthwiseBufferTempConv, {{"fifo_size", 2}}, TensorType::int32},
      {LayerType::Dense1D, {{"units", 3}}, TensorType::int32},
  };
  const auto samples = tensor<uint8_t>(TensorType::uint8, {1, 4, 4, 2}, std::vector<uint8_t>(32, 3));
  for (const Row& row : rows) {
    auto model = model_with_input(4, 4, 2);
    const auto layer = test::make_layer(row.type, row.params, "layer");
    const bool merge = row.type == LayerType::Add || row.type == LayerType::Concatenate;
    model->add(layer, merge ? std::vector{model->get_layer(0), model->get_layer(0)} : std::vector<std::shared_ptr<Layer>>{});
    const auto outputs = model->forward(samples, 0);
    const Shape declared = layer->output_dimensions();
    EXPECT_EQ(outputs->shape(), (Shape{1, declared[0], declared[1], declared[2]})) << static_cast<int>(row.type);
    EXPECT_EQ(outputs->type(), row.output) << static_cast<int>(row.type);
  }
  auto model = model_with_input(4, 4, 2);
  add_layer(*model, LayerType::StatefulRecurrent, {{"out_channels", 2}}, "recurrent");
  EXPECT_EQ(error_text([&] { model->forward(samples, 0); }),
            "Error when running layer 'recurrent' in software: StatefulRecurrent layers hold no weights for their "
            "state update and cannot run in software.");

  // An InputConvolutional layer starting a model: a 3 x 2 window, Same padding, 2 x 2 max pooling.
  auto hrc = Model::create();
  const auto input_conv = test::make_layer(LayerType::InputConvolutional,
                                           {{"input_width", 4}, {"input_height", 4}, {"input_channels", 2},
                                            {"kernel_width", 3}, {"kernel_height", 2}, {"filters", 3}, {"padding", 1},
                                            {"activation", 1}, {"act_bits", 2}, {"pool_type", 1}, {"pooling_width", 2},
                                            {"pooling_height", 2}},
                                           "hrc");
  hrc->add(input_conv);
  const auto outputs = hrc->forward(samples, 0);
  EXPECT_EQ(outputs->shape(), (Shape{1, 2, 2, 3}));
  EXPECT_EQ(outputs->type(), TensorType::uint8);
}

// Two classes of 16 inputs: class 0 is bright on inputs 0..7, class 1 on inputs 8..15, over a
// dim noisy background.
std::shared_ptr<Dense> toy_samples(const std::vector<int32_t>& labels, uint32_t seed) {
  std::vector<uint8_t> values;
  for (const int32_t label : labels) {
    for (int i = 0; i < 16; ++i) {
      seed = seed * 1103515245u + 12345u;
      const bool bright = (i / 8) == label;
      values.push_back(static_cast<uint8_t>((bright ? 150 : 0) + (seed >> 16) % 60));
    }
  }
  return tensor<uint8_t>(TensorType::uint8, {static_cast<uint32_t>(labels.size()), 4, 4, 1}, values);
}

TEST(SoftwareFit, FullyConnectedLearnsTwoClasses) {
  auto model = model_with_input(4, 4, 1);
  const auto layer = add_layer(*model, LayerType::FullyConnected, {{"units", 4}, {"weights_bits", 1}}, "fc");
  const auto params = LearningParams::create(LearningType::Unsupervised, {{"num_weights", 6},
                                                                           {"num_classes", 2},
                                                                           {"initial_plasticity", 1.0},
                                                                           {"learning_competition", 0.0},
                                                                           {"min_plasticity", 0.2},
                                                                           {"plasticity_decay", 0.25}});
  model->compile(params);
  // Six connections per neuron to start from, as a learning layer needs: inputs n x 5 + k x 3.
  auto initial = Dense::create(TensorType::bit, Shape{4, 16}, Layout::Reversed);
  for (int n = 0; n < 4; ++n) {
    for (int k = 0; k < 6; ++k) initial->data<int8_t>()[(n * 5 + k * 3) % 16 * 4 + n] = 1;
  }
  layer->variables().set("weights", initial);
  std::vector<int32_t> labels;
  for (int i = 0; i < 40; ++i) labels.push_back(i % 2);
  model->fit(toy_samples(labels, 7), labels, 0);

  // Every neuron holds num_weights connections; on held-out samples the right class's neurons win.
  const auto weights = contents<int8_t>(*layer->variables().get("weights"));  // input-major
  for (int n = 0; n < 4; ++n) {
    int connections = 0;
    for (int i = 0; i < 16; ++i) connections += weights[i * 4 + n];
    EXPECT_EQ(connections, 6) << "neuron " << n;
  }
  const std::vector<int32_t> held_out{1, 0, 0, 1, 1, 0, 1, 0};
  const auto potentials = contents<int32_t>(*model->forward(toy_samples(held_out, 99), 0));
  for (size_t s = 0; s < held_out.size(); ++s) {
    const int32_t* p = &potentials[s * 4];
    const int32_t winner = std::max(p[0], p[1]) > std::max(p[2], p[3]) ? 0 : 1;
    EXPECT_EQ(winner, held_out[s]) << "sample " << s;
  }
}

}  // namespace
}  // namespace ornix
