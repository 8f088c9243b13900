#include "ornix/layer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>
#include <stdexcept>
#include <string>
#include <typeinfo>
#include <utility>
#include <vector>

#include "layer_fixtures.h"
#include "ornix/layers/convolution_v2.h"
#include "ornix/layers/dense.h"

namespace ornix {
namespace {

using test::add_layer;
using test::make_layer;
using test::model_with_input;
using test::throws_text;

TEST(LayerAccessors, DimensionsBeforeTheyAreSet) {
  const auto layer = make_layer(LayerType::Conv2D, {}, "conv");
  EXPECT_THAT([&] { layer->input_dimensions(); },
              throws_text<std::runtime_error>("Cannot get input size before it is set."));
  EXPECT_TRUE(layer->output_dimensions().empty());

  // A 3-wide kernel over a 2-wide input without padding leaves no output column: (0, 4, 4).
  auto model = model_with_input(2, 6, 1);
  const auto conv = add_layer(*model, LayerType::Conv2D, {{"kernel_size", 3}, {"filters", 4}});
  EXPECT_THAT([&] { conv->output_dimensions(); },
              throws_text<std::runtime_error>("Cannot get output size before it is set."));
}

TEST(LayerAccessors, OutputBeyondTheShapeLimitPanics) {
  auto model = model_with_input(65536, 65536, 2);
  EXPECT_THAT([&] { model->get_layer(0)->output_dimensions(); },
              throws_text<std::runtime_error>("Tensor shape size 8589934592 exceeds maximum shape size (4294967295)"));
}

TEST(LayerAccessors, OwnParametersNameAndVariables) {
  const auto params = LayerParams::create(LayerType::Dense1D, {{"units", 10}});
  const auto layer = Layer::create(params.get(), "dense");
  EXPECT_NE(layer->params(), params.get());
  EXPECT_EQ(layer->params()->layer_type(), LayerType::Dense1D);
  EXPECT_EQ(layer->params()->get("units"), 10);
  EXPECT_EQ(layer->name(), "dense");
  EXPECT_EQ(&layer->variables(), &layer->variables());
}

TEST(LayerAccessors, CreateRefusesMissingParametersAndTypesWithoutClass) {
  EXPECT_THAT([] { Layer::create(nullptr, "x"); },
              throws_text<std::invalid_argument>("Layer parameters must not be null."));
  const auto params = LayerParams::create(LayerType{7}, {});
  EXPECT_THAT([&] { Layer::create(params.get(), "x"); },
              throws_text<std::invalid_argument>("No layer class serves layer type 7."));
  EXPECT_THROW(make_layer(LayerType::Unknown, {}, "x"), std::invalid_argument);
  EXPECT_THROW((void)Conv2D(*params, "x"), std::invalid_argument);
}

struct TaggedMapping : Layer::Mapping {
  int tag = 0;
};

TEST(LayerAccessors, MappingComesBackWithItsDynamicType) {
  const auto layer = make_layer(LayerType::Conv2D, {}, "conv");
  EXPECT_EQ(layer->mapping(), nullptr);
  auto first = std::make_shared<TaggedMapping>();
  first->tag = 7;
  layer->set_mapping(first);
  auto back = std::dynamic_pointer_cast<TaggedMapping>(layer->mapping());
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back, first);
  EXPECT_EQ(back->tag, 7);

  const std::weak_ptr<Layer::Mapping> old = first;
  first.reset();
  back.reset();
  layer->set_mapping(std::make_shared<TaggedMapping>());
  EXPECT_TRUE(old.expired());
}

TEST(LayerAccessors, LearningIsHeldWeakly) {
  const auto layer = std::dynamic_pointer_cast<FullyConnected>(make_layer(LayerType::FullyConnected, {}, "fc"));
  ASSERT_NE(layer, nullptr);
  EXPECT_FALSE(layer->can_learn());
  auto learning = LearningParams::create(LearningType::Unsupervised, {{"num_weights", 4}});
  layer->set_learning(learning);
  EXPECT_EQ(layer->learning(), learning.get());
  EXPECT_TRUE(layer->can_learn());
  EXPECT_TRUE(layer->is_learning());
  learning.reset();
  EXPECT_EQ(layer->learning(), nullptr);
  EXPECT_FALSE(layer->can_learn());
  EXPECT_FALSE(layer->is_learning());
}

class FixedLearning : public FullyConnected {
 public:
  using FullyConnected::FullyConnected;
  const LearningParams* learning() const override { return fixed_.get(); }

 private:
  std::shared_ptr<LearningParams> fixed_ = LearningParams::create(LearningType::Unsupervised, {});
};

TEST(LayerAccessors, CanLearnAsksTheOverridingLearning) {
  const auto params = LayerParams::create(LayerType::FullyConnected, {});
  const auto layer = std::make_shared<FixedLearning>(*params, "fc");
  EXPECT_TRUE(layer->can_learn());
}

TEST(LayerAccessors, PoolingParametersOfAnUnbuiltDepthwiseLayer) {
  const auto layer = make_layer(LayerType::DepthwiseConv2D, {}, "dw");
  const auto& depthwise = dynamic_cast<const DepthwiseConv2D&>(*layer);
  EXPECT_THAT([&] { depthwise.pool_calculated_params(); },
              throws_text<std::runtime_error>("The layer dw is not built."));
  EXPECT_FALSE(depthwise.conv_params().has_value());
  EXPECT_FALSE(dynamic_cast<const HasPoolParams&>(*layer).pool_params().has_value());

  const auto dense = make_layer(LayerType::Dense1D, {}, "dense");
  EXPECT_THROW((void)dynamic_cast<const Conv2D&>(*dense), std::bad_cast);
  EXPECT_THROW((void)dynamic_cast<const HasConvParams&>(*dense), std::bad_cast);
}

// The component kind each layer type is mapped on; None: no component.
const std::vector<std::pair<LayerType, ComponentKind>> kTargets{
    {LayerType::InputData, ComponentKind::None},
    {LayerType::InputConvolutional, ComponentKind::HRC},
    {LayerType::FullyConnected, ComponentKind::FNP},
    {LayerType::Convolutional, ComponentKind::CNP},
    {LayerType::SeparableConvolutional, ComponentKind::CNP},
    {LayerType::Add, ComponentKind::SkipDma},
    {LayerType::Concatenate, ComponentKind::SkipDma},
    {LayerType::Conv2D, ComponentKind::CNP},
    {LayerType::InputConv2D, ComponentKind::HRC},
    {LayerType::DepthwiseConv2D, ComponentKind::CNP},
    {LayerType::Conv2DTranspose, ComponentKind::CNP},
    {LayerType::ExtractToken, ComponentKind::None},
    {LayerType::Dequantizer, ComponentKind::None},
    {LayerType::DepthwiseConv2DTranspose, ComponentKind::CNP},
    {LayerType::BufferTempConv, ComponentKind::TNP_B},
    {LayerType::DepthwiseBufferTempConv, ComponentKind::TNP_B},
    {LayerType::Dense1D, ComponentKind::FNP},
    {LayerType::StatefulRecurrent, ComponentKind::TNP_R},
};

TEST(LayerAccessors, OneClassPerTypeAndItsTargetComponent) {
  std::set<std::string> classes;
  for (const auto& [type, target] : kTargets) {
    const auto layer = make_layer(type, {}, "layer");
    classes.insert(typeid(*layer).name());
    for (uint32_t kind = 0; kind <= 7; ++kind) {
      const bool expected = target != ComponentKind::None && ComponentKind{kind} == target;
      EXPECT_EQ(layer->is_target_component(ComponentKind{kind}), expected)
          << "type " << static_cast<uint32_t>(type) << " kind " << kind;
    }
    EXPECT_EQ(layer->splittable(), target == ComponentKind::CNP || target == ComponentKind::TNP_B);
  }
  EXPECT_EQ(classes.size(), kTargets.size());
}

TEST(LayerAccessors, ActivationPoolingAndKindQueries) {
  const auto lut = make_layer(LayerType::Conv2D, {{"activation", 2}, {"pool_type", 1}}, "lut");
  EXPECT_TRUE(lut->has_activation());
  EXPECT_TRUE(lut->activation_is(ActivationType::LUT));
  EXPECT_FALSE(lut->activation_is(ActivationType::ReLU));
  EXPECT_TRUE(lut->pooling_is(PoolType::Max));

  const auto plain = make_layer(LayerType::Conv2D, {}, "plain");
  EXPECT_FALSE(plain->has_activation());
  EXPECT_TRUE(plain->activation_is(ActivationType::NoActivation));
  EXPECT_TRUE(plain->pooling_is(PoolType::NoPooling));
  EXPECT_FALSE(plain->is_separable());
  EXPECT_EQ(plain->ip_version(), IpVersion::v2);

  const auto depthwise = make_layer(LayerType::DepthwiseConv2D, {}, "dw");
  EXPECT_TRUE(depthwise->is_separable());
  EXPECT_TRUE(depthwise->is_channelwise());
  const auto separable = make_layer(LayerType::SeparableConvolutional, {}, "sep");
  EXPECT_TRUE(separable->is_separable());
  EXPECT_FALSE(separable->is_channelwise());
  EXPECT_EQ(separable->ip_version(), IpVersion::v1);

  EXPECT_TRUE(make_layer(LayerType::InputData, {}, "in")->is_input());
  EXPECT_TRUE(make_layer(LayerType::InputConvolutional, {}, "hrc")->is_input());
  EXPECT_FALSE(make_layer(LayerType::InputConv2D, {}, "hrc2")->is_input());
  EXPECT_EQ(make_layer(LayerType::InputData, {}, "in")->ip_version(), IpVersion::none);
}

}  // namespace
}  // namespace ornix
