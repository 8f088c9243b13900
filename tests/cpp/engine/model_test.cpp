#include "ornix/model.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <stdexcept>

#include "engine/error_text.h"
#include "layer_fixtures.h"
#include "support/fake_mapping.h"

namespace ornix {
namespace {

using ::testing::ElementsAre;
using test::add_layer;
using test::dims;
using test::input_layer;
using test::make_layer;
using test::model_with_input;
using test::throws_text;

const LayerParams::Values kPointwise{{"kernel_size", 1}, {"filters", 4}};

TEST(Model, AddsLinksAndFindsLayers) {
  auto model = model_with_input(6, 5, 3);
  const auto input = model->get_layer(0);
  const auto left = add_layer(*model, LayerType::Conv2D, kPointwise, "left");
  const auto right = make_layer(LayerType::Conv2D, kPointwise, "right");
  model->add(right, {input});
  const auto add = make_layer(LayerType::Add, {}, "add");
  model->add(add, {left, right});
  const auto dense = add_layer(*model, LayerType::Dense1D, {{"units", 3}}, "dense");
  EXPECT_THAT(model->layers(), ElementsAre(input, left, right, add, dense));
  EXPECT_EQ(model->get_layer("dense"), dense);
  EXPECT_THAT(add->inbound_layers(), ElementsAre(left, right));
  EXPECT_THAT(input->outbound_layers(), ElementsAre(left, right));
  EXPECT_THAT(dims(model->input_shape()), ElementsAre(6u, 5u, 3u));
  EXPECT_THAT(dims(model->output_shape()), ElementsAre(1u, 1u, 3u));
  EXPECT_EQ(model->ip_version(), IpVersion::v2);
  EXPECT_THAT([&] { model->get_layer(5); },
              throws_text<std::out_of_range>("Layer index 5 is out of range (the model has 5 layers)."));
  EXPECT_THROW(model->get_layer(-1), std::out_of_range);
  EXPECT_THAT([&] { model->get_layer("nope"); },
              throws_text<std::invalid_argument>("The model has no layer named nope."));
  // A refused layer leaves no link behind.
  EXPECT_THROW(model->add(make_layer(LayerType::Add, {}, "bad"), {input, dense}), std::invalid_argument);
  EXPECT_THAT(input->outbound_layers(), ElementsAre(left, right));

  auto empty = Model::create();
  EXPECT_EQ(empty->ip_version(), IpVersion::none);
  EXPECT_THAT([&] { empty->output_shape(); }, throws_text<std::runtime_error>("The model has no layers."));
  EXPECT_THAT([&] { empty->pop_layer(); }, throws_text<std::runtime_error>("The model has no layers."));
}

TEST(Model, RefusesLayersItCannotTake) {
  auto model = Model::create();
  const auto conv = make_layer(LayerType::Conv2D, kPointwise, "conv");
  EXPECT_THAT([&] { model->add(conv); },
              throws_text<std::invalid_argument>("Layer conv is not an input layer and cannot start a model."));
  model->add(input_layer(4, 4, 1));
  EXPECT_THAT([&] { model->add(input_layer(4, 4, 1, "second")); },
              throws_text<std::invalid_argument>("Input layer second can only start a model."));
  EXPECT_THAT([&] { model->add(input_layer(4, 4, 1)); },
              throws_text<std::invalid_argument>("The model already has a layer named input."));
  EXPECT_THAT([&] { model->add(nullptr); }, throws_text<std::invalid_argument>("Cannot add a null layer."));

  const auto stranger = make_layer(LayerType::Conv2D, kPointwise, "stranger");
  EXPECT_THAT([&] { model->add(conv, {stranger}); },
              throws_text<std::invalid_argument>("Inbound layer stranger of layer conv is not in the model."));
  model->add(conv);
  auto other = model_with_input(4, 4, 1);
  EXPECT_THAT([&] { other->add(conv); }, throws_text<std::invalid_argument>("Layer conv already belongs to a model."));
  EXPECT_EQ(other->layer_count(), 1u);
}

using test::FakeDevice;
using test::OneSequenceMapper;
using test::ScopedMapper;

// Each sample's output: one int32 holding the sample's first byte plus 100.
std::vector<std::shared_ptr<Tensor>> add_hundred(const std::vector<std::shared_ptr<const Tensor>>& inputs) {
  std::vector<std::shared_ptr<Tensor>> outputs;
  for (const auto& input : inputs) {
    const auto dense = std::const_pointer_cast<Tensor>(input)->ensure_dense();
    auto out = Dense::create(TensorType::int32, Shape{1, 1, 1});
    out->data<int32_t>()[0] = dense->data<uint8_t>()[0] + 100;
    outputs.push_back(out);
  }
  return outputs;
}

std::shared_ptr<Dense> samples(std::vector<uint8_t> first_bytes) {
  auto inputs = Dense::create(TensorType::uint8, Shape{static_cast<uint32_t>(first_bytes.size()), 2, 2, 1});
  for (size_t i = 0; i < first_bytes.size(); ++i) inputs->data<uint8_t>()[i * 4] = first_bytes[i];
  return inputs;
}

class ModelMapTest : public ::testing::Test {
 protected:
  ModelMapTest() : model_(test::model_with_input(2, 2, 1)) {
    test::add_layer(*model_, LayerType::Dense1D, {{"units", 3}, {"weights_bits", 8}}, "dense");
  }

  std::unique_ptr<Model> model_;
  OneSequenceMapper fake_{add_hundred};
};

TEST_F(ModelMapTest, MapsThroughTheRegisteredBackEndAndKeepsItsSequences) {
  {
    const ScopedMapper none{nullptr};
    EXPECT_EQ(error_text([&] { model_->map(std::make_shared<FakeDevice>(), true, nullptr); }),
              "No hardware back end is registered with the engine.");
  }
  const auto device = std::make_shared<FakeDevice>();
  {
    const ScopedMapper registered{fake_.mapper()};
    EXPECT_THROW(model_->map(nullptr, true, nullptr), std::invalid_argument);
    model_->map(device, true, nullptr);
  }
  EXPECT_EQ(fake_.last_sequence->passes().front()->layers, std::vector<std::shared_ptr<Layer>>{model_->get_layer(1)});
  EXPECT_EQ(fake_.last_request.device, device);
  EXPECT_TRUE(fake_.last_request.hw_only);
  EXPECT_EQ(model_->device(), device);
  EXPECT_EQ(model_->sequences(), std::vector<std::shared_ptr<Sequence>>{fake_.last_sequence});

  // A failing back end leaves the model unmapped: the earlier mapping is gone too.
  const ScopedMapper failing{[](auto&, auto&, const MapRequest&) { throw std::runtime_error("Cannot map."); }};
  EXPECT_THROW(model_->map(std::make_shared<FakeDevice>(), true, nullptr), std::runtime_error);
  EXPECT_EQ(model_->device(), nullptr);
  EXPECT_TRUE(model_->sequences().empty());
}

TEST_F(ModelMapTest, ForwardRunsTheSequencesAndStacksOneOutputPerSample) {
  {
    const ScopedMapper registered{fake_.mapper()};
    model_->map(std::make_shared<FakeDevice>(), true, nullptr);
  }
  const auto outputs = model_->forward(samples({1, 2, 3}), 2);
  EXPECT_EQ(fake_.last_sequence->runs, 2);  // batches of 2 and 1 samples
  EXPECT_EQ(outputs->shape(), (Shape{3, 1, 1, 1}));
  EXPECT_EQ(std::vector<int32_t>(outputs->data<int32_t>(), outputs->data<int32_t>() + 3),
            (std::vector<int32_t>{101, 102, 103}));

  const ScopedMapper partial{[](auto&, auto& sequences, const MapRequest&) {
    sequences.push_back(
        std::make_shared<test::FakeSequence>("HW/none", std::vector<std::shared_ptr<Layer>>{}, add_hundred));
  }};
  model_->map(std::make_shared<FakeDevice>(), false, nullptr);
  EXPECT_EQ(error_text([&] { model_->forward(samples({1}), 0); }),
            "Layer dense is not mapped on the device: a mapped model runs on the device only.");
}

// What a map may leave on the layers it is given: records on every layer, one sequence over the
// first `mapped` of them (none: no sequence), or an exception after the records.
HardwareMapper marking_mapper(size_t mapped, bool throws = false) {
  return [=](std::vector<std::shared_ptr<Layer>>& layers, std::vector<std::shared_ptr<Sequence>>& sequences,
             const MapRequest&) {
    for (const auto& layer : layers) layer->set_mapping(std::make_shared<Layer::Mapping>());
    if (throws) throw std::runtime_error("Cannot map.");
    if (mapped == 0) return;
    sequences.push_back(std::make_shared<test::FakeSequence>(
        "HW/first", std::vector<std::shared_ptr<Layer>>(layers.begin(), layers.begin() + mapped), add_hundred));
    layers.erase(layers.begin(), layers.begin() + mapped);
  };
}

// Only the layers that the sequences of the last map run hold a mapping: not the layers that map
// left out, not the layers of an earlier map, not a layer that joined another model since.
TEST_F(ModelMapTest, OnlyTheLayersOfTheLastMapsSequencesHoldAMapping) {
  const auto dense = model_->get_layer("dense");
  const auto dense2 = add_layer(*model_, LayerType::Dense1D, {{"units", 3}, {"weights_bits", 8}}, "dense2");
  const struct {
    const char* map;
    HardwareMapper mapper;
    bool hw_only;
    bool dense_mapped;
  } maps[] = {
      {"a prefix", marking_mapper(1), false, true},
      {"nothing", marking_mapper(0), false, false},
      {"a prefix again", marking_mapper(1), false, true},
      {"a failure", marking_mapper(1, true), true, false},
  };
  for (const auto& map : maps) {
    SCOPED_TRACE(map.map);
    const ScopedMapper registered{map.mapper};
    const auto device = std::make_shared<FakeDevice>();
    const std::string result = error_text([&] { model_->map(device, map.hw_only, nullptr); });
    EXPECT_EQ(result, map.hw_only ? "Cannot map." : "no error");
    EXPECT_EQ(dense->mapping() != nullptr, map.dense_mapped);
    EXPECT_EQ(dense2->mapping(), nullptr);
    EXPECT_EQ(model_->device(), map.hw_only ? nullptr : device);
  }

  const ScopedMapper registered{marking_mapper(2)};
  model_->map(std::make_shared<FakeDevice>(), true, nullptr);
  model_->pop_layer();
  auto other = model_with_input(1, 1, 3);  // dense's output
  other->add(dense2);
  EXPECT_EQ(dense2->mapping(), nullptr);
}

}  // namespace
}  // namespace ornix
