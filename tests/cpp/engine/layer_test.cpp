#include "ornix/layer.h"
#include "ornix/layer_params.h"

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

  // A 3-wide kernel over a 2-wide input without padding would leave no output column: refused.
  auto model = model_with_input(2, 6, 1);
  EXPECT_THAT([&] { add_layer(*model, LayerType::Conv2D, {{"kernel_size", 3}, {"filters", 4}}); },
              throws_text<std::invalid_argument>(
                  "Layer layer gives no output: its 3x3 kernel does not fit its 2x6 input with Valid padding."));

  const auto dw = make_layer(LayerType::DepthwiseConv2D, {}, "dw");
  const auto& depthwise = dynamic_cast<const DepthwiseConv2D&>(*dw);
  EXPECT_THAT([&] { depthwise.pool_calculated_params(); },
              throws_text<std::runtime_error>("The layer dw is not built."));
}

TEST(LayerAccessors, CreateCopiesParametersAndRefusesTypesWithoutClass) {
  const auto params = LayerParams::create(LayerType::Dense1D, {{"units", 10}});
  EXPECT_NE(Layer::create(params.get(), "dense")->params(), params.get());
  EXPECT_THAT([] { Layer::create(nullptr, "x"); },
              throws_text<std::invalid_argument>("Layer parameters must not be null."));
  const auto unknown = LayerParams::create(LayerType{7}, {});
  EXPECT_THAT([&] { Layer::create(unknown.get(), "x"); },
              throws_text<std::invalid_argument>("No layer class serves layer type 7."));
  EXPECT_THROW((void)Conv2D(*unknown, "x"), std::invalid_argument);
}

struct TaggedMapping : Layer::Mapping {};

TEST(LayerAccessors, MappingKeepsItsDynamicTypeAndIsReleasedWhenReplaced) {
  const auto layer = make_layer(LayerType::Conv2D, {}, "conv");
  auto first = std::make_shared<TaggedMapping>();
  layer->set_mapping(first);
  EXPECT_EQ(std::dynamic_pointer_cast<TaggedMapping>(layer->mapping()), first);
  const std::weak_ptr<Layer::Mapping> old = first;
  first.reset();
  layer->set_mapping(std::make_shared<TaggedMapping>());
  EXPECT_TRUE(old.expired());
}

// The component kind each layer type is mapped on; None: no component.
const std::vector<std::pair<LayerType, ComponentKind>> kTargets{
    {LayerType::InputData, ComponentKind::None},         {LayerType::InputConvolutional, ComponentKind::HRC},
    {LayerType::FullyConnected, ComponentKind::FNP},     {LayerType::Convolutional, ComponentKind::CNP},
    {LayerType::SeparableConvolutional, ComponentKind::CNP}, {LayerType::Add, ComponentKind::SkipDma},
    {LayerType::Concatenate, ComponentKind::SkipDma},    {LayerType::Conv2D, ComponentKind::CNP},
    {LayerType::InputConv2D, ComponentKind::HRC},        {LayerType::DepthwiseConv2D, ComponentKind::CNP},
    {LayerType::Conv2DTranspose, ComponentKind::CNP},    {LayerType::ExtractToken, ComponentKind::None},
    {LayerType::Dequantizer, ComponentKind::None},       {LayerType::DepthwiseConv2DTranspose, ComponentKind::CNP},
    {LayerType::BufferTempConv, ComponentKind::TNP_B},   {LayerType::DepthwiseBufferTempConv, ComponentKind::TNP_B},
    {LayerType::Dense1D, ComponentKind::FNP},            {LayerType::StatefulRecurrent, ComponentKind::TNP_R},
};

TEST(LayerAccessors, OneClassPerTypeAndItsTargetComponent) {
  std::set<std::string> classes;
  for (const auto& [type, target] : kTargets) {
    const auto layer = make_layer(type, {{"units", 1}}, "layer");
    classes.insert(typeid(*layer).name());
    for (uint32_t kind = 0; kind <= 7; ++kind) {
      EXPECT_EQ(layer->is_target_component(ComponentKind{kind}), ComponentKind{kind} == target)
          << "type " << static_cast<uint32_t>(type) << " kind " << kind;
    }
    EXPECT_EQ(layer->splittable(), target == ComponentKind::CNP || target == ComponentKind::TNP_B);
  }
  EXPECT_EQ(classes.size(), kTargets.size());
}

TEST(LayerAccessors, KindQueries) {
  const auto lut = make_layer(LayerType::Conv2D, {{"activation", 2}, {"pool_type", 1}}, "lut");
  EXPECT_TRUE(lut->activation_is(ActivationType::LUT));
  EXPECT_TRUE(lut->pooling_is(PoolType::Max));
  const auto separable = make_layer(LayerType::SeparableConvolutional, {}, "sep");
  EXPECT_TRUE(separable->is_separable());
  EXPECT_FALSE(separable->is_channelwise());
  EXPECT_EQ(separable->ip_version(), IpVersion::v1);
  EXPECT_TRUE(make_layer(LayerType::DepthwiseConv2D, {}, "dw")->is_channelwise());
  EXPECT_TRUE(make_layer(LayerType::InputConvolutional, {}, "hrc")->is_input());
  EXPECT_FALSE(make_layer(LayerType::InputConv2D, {}, "hrc2")->is_input());
}

TEST(LayerParams, ReadsValuesAndNamesAMissingKey) {
  const auto params = LayerParams::create(LayerType::Conv2D, {{"padding", 1}, {"filters", 32}, {"kernel_size", 3}});
  EXPECT_EQ(params->get("filters"), 32);
  EXPECT_FALSE(params->has("kernel_width"));
  EXPECT_THAT([&] { params->get("kernel_width"); }, throws_text<std::invalid_argument>("Key kernel_width not found"));
}

}  // namespace
}  // namespace ornix
