#include "ornix/layers/convolution_v2.h"

#include "layer_build.h"
#include "pooled_conv_build.h"

namespace ornix {

Conv2D::Conv2D(const LayerParams& params, std::string name)
    : PooledConvolution(LayerType::Conv2D, params, std::move(name)) {}

LayerBuild Conv2D::build(const LayerInputs& inputs) const {
  PooledConvBuild conv = build_pooled_conv(*this, inputs, inputs.shapes.at(0), kV2ConvKeys, ConvForm::Standard);
  conv.build.variables = {
      {"weights", weights_type(*this), Shape{conv.kernel_y, conv.kernel_x, conv.channels, conv.filters}},
      per_channel("input_shift", TensorType::uint8, conv.channels),
  };
  return std::move(conv.build);
}

InputConv2D::InputConv2D(const LayerParams& params, std::string name)
    : PooledConvolution(LayerType::InputConv2D, params, std::move(name)) {}

LayerBuild InputConv2D::build(const LayerInputs& inputs) const {
  PooledConvBuild conv = build_pooled_conv(*this, inputs, inputs.shapes.at(0), kV2ConvKeys, ConvForm::Standard);
  conv.build.variables = {
      {"weights", TensorType::int8, Shape{conv.kernel_y, conv.kernel_x, conv.channels, conv.filters}},
      per_channel("padding_value", TensorType::uint8, conv.channels),
      per_channel("output_shift", TensorType::int8, conv.filters),
      per_channel("output_scales", TensorType::uint8, conv.filters, 1),
      per_channel("bias_shift", TensorType::uint8, conv.filters),
      per_channel("bias", TensorType::int8, conv.filters),
  };
  return std::move(conv.build);
}

DepthwiseConv2D::DepthwiseConv2D(const LayerParams& params, std::string name)
    : PooledConvolution(LayerType::DepthwiseConv2D, params, std::move(name)) {}

LayerBuild DepthwiseConv2D::build(const LayerInputs& inputs) const {
  PooledConvBuild conv = build_pooled_conv(*this, inputs, inputs.shapes.at(0), kV2ConvKeys, ConvForm::Depthwise);
  conv.build.variables = {
      {"weights", weights_type(*this), Shape{conv.kernel_y, conv.kernel_x, 1, conv.channels}},
      per_channel("input_shift", TensorType::uint8, conv.channels),
  };
  return std::move(conv.build);
}

}  // namespace ornix
