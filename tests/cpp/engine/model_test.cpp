#include "ornix/model.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <stdexcept>

#include "layer_fixtures.h"

namespace ornix {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using test::add_layer;
using test::dims;
using test::input_layer;
using test::make_layer;
using test::model_with_input;
using test::throws_text;

const LayerParams::Values kPointwise{{"kernel_size", 1}, {"filters", 4}};

TEST(Model, AddsLayersInOrderAndFindsThem) {
  auto model = model_with_input(6, 5, 3);
  const auto conv = add_layer(*model, LayerType::Conv2D, kPointwise, "conv");
  const auto dense = add_layer(*model, LayerType::Dense1D, {{"units", 10}}, "dense");

  EXPECT_EQ(model->layer_count(), 3u);
  EXPECT_THAT(model->layers(), ElementsAre(model->get_layer(0), conv, dense));
  EXPECT_EQ(model->get_layer(1), conv);
  EXPECT_EQ(model->get_layer("dense"), dense);
  EXPECT_THAT(dims(model->input_shape()), ElementsAre(6u, 5u, 3u));
  EXPECT_THAT(dims(model->output_shape()), ElementsAre(1u, 1u, 10u));
  EXPECT_THAT([&] { model->get_layer(3); },
              throws_text<std::out_of_range>("Layer index 3 is out of range (the model has 3 layers)."));
  EXPECT_THROW(model->get_layer(-1), std::out_of_range);
  EXPECT_THAT([&] { model->get_layer("nope"); },
              throws_text<std::invalid_argument>("The model has no layer named nope."));
}

TEST(Model, EmptyModel) {
  auto model = Model::create();
  EXPECT_EQ(model->layer_count(), 0u);
  EXPECT_THAT(model->layers(), IsEmpty());
  EXPECT_EQ(model->device(), nullptr);
  EXPECT_THAT(model->sequences(), IsEmpty());
  EXPECT_EQ(model->ip_version(), IpVersion::none);
  EXPECT_FALSE(model->input_signed());
  EXPECT_THAT([&] { model->input_shape(); }, throws_text<std::runtime_error>("The model has no layers."));
  EXPECT_THAT([&] { model->output_shape(); }, throws_text<std::runtime_error>("The model has no layers."));
  EXPECT_THAT([&] { model->pop_layer(); }, throws_text<std::runtime_error>("The model has no layers."));
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
  EXPECT_EQ(model->layer_count(), 2u);
  EXPECT_EQ(other->layer_count(), 1u);
}

TEST(Model, LinksLayersByIdentity) {
  auto model = model_with_input(4, 4, 2);
  const auto input = model->get_layer(0);
  const auto left = add_layer(*model, LayerType::Conv2D, kPointwise, "left");
  const auto right = make_layer(LayerType::Conv2D, kPointwise, "right");
  model->add(right, {input});
  const auto add = make_layer(LayerType::Add, {}, "add");
  model->add(add, {left, right});

  EXPECT_THAT(add->inbound_layers(), ElementsAre(left, right));
  const std::shared_ptr<const Layer> constant = add;
  EXPECT_THAT(constant->inbound_layers(), ElementsAre(left, right));
  EXPECT_THAT(input->outbound_layers(), ElementsAre(left, right));
  EXPECT_THAT(left->outbound_layers(), ElementsAre(add));
  EXPECT_THAT(left->inbound_layers(), ElementsAre(input));
  EXPECT_THAT(input->inbound_layers(), IsEmpty());

  // A refused layer leaves no link behind.
  EXPECT_THROW(model->add(make_layer(LayerType::Add, {}, "bad"), {input, add}), std::invalid_argument);
  EXPECT_THAT(input->outbound_layers(), ElementsAre(left, right));
}

TEST(Model, PopLayerUnlinksTheLastLayer) {
  auto model = model_with_input(4, 4, 2);
  const auto input = model->get_layer(0);
  const auto conv = add_layer(*model, LayerType::Conv2D, kPointwise, "conv");
  conv->variables().set("extra", Dense::create(TensorType::int8, {1}));
  model->pop_layer();

  EXPECT_EQ(model->layer_count(), 1u);
  EXPECT_THAT(input->outbound_layers(), IsEmpty());
  EXPECT_THAT(conv->inbound_layers(), IsEmpty());
  EXPECT_THROW(conv->input_dimensions(), std::runtime_error);
  EXPECT_TRUE(conv->variables().has("extra"));

  model->add(conv);
  EXPECT_THAT(dims(conv->output_dimensions()), ElementsAre(4u, 4u, 4u));
  EXPECT_THAT(input->outbound_layers(), ElementsAre(conv));
}

TEST(Model, LayersOfADestroyedModelMayJoinAnother) {
  auto first = model_with_input(4, 4, 2);
  const auto conv = add_layer(*first, LayerType::Conv2D, kPointwise, "conv");
  first.reset();
  auto second = model_with_input(8, 8, 2);
  second->add(conv);
  EXPECT_THAT(dims(conv->output_dimensions()), ElementsAre(8u, 8u, 4u));
}

TEST(Model, SignedInputGenerationAndMacs) {
  auto model = Model::create();
  model->add(make_layer(LayerType::InputData,
                        {{"input_width", 4}, {"input_height", 4}, {"input_channels", 2}, {"input_signed", 1}},
                        "input"));
  EXPECT_TRUE(model->input_signed());
  EXPECT_EQ(model->ip_version(), IpVersion::none);
  add_layer(*model, LayerType::Conv2D, kPointwise, "a");              // 4 x 4 x 2 x 4 = 128
  add_layer(*model, LayerType::Dense1D, {{"units", 3}}, "b");         // 64 x 3 = 192
  EXPECT_EQ(model->ip_version(), IpVersion::v2);
  EXPECT_EQ(model->macs(), 320u);

  // Generation-1 layers make a generation-1 model, whatever else it holds.
  auto v1 = model_with_input(4, 4, 2);
  add_layer(*v1, LayerType::Convolutional, {{"kernel_width", 1}, {"kernel_height", 1}, {"filters", 2}}, "conv");
  add_layer(*v1, LayerType::Dequantizer, {}, "dequantizer");
  EXPECT_EQ(v1->ip_version(), IpVersion::v1);
  EXPECT_FALSE(v1->input_signed());
}

}  // namespace
}  // namespace ornix
