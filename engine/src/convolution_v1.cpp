#include "ornix/layers/convolution_v1.h"

#include <stdexcept>

#include "layer_build.h"
#include "layer_messages.h"
#include "pooled_conv_build.h"

namespace ornix {

InputConvolutional::InputConvolutional(const LayerParams& params, std::string name)
    : PooledConvolution(LayerType::InputConvolutional, params, std::move(name)) {}

LayerBuild InputConvolutional::build(const LayerInputs& inputs) const {
  const ParamReader params(*this);
  const Shape input{static_cast<uint32_t>(params.get("input_width", 1, kParamMax)),
                    static_cast<uint32_t>(params.get("input_height", 1, kParamMax)),
                    static_cast<uint32_t>(params.get("input_channels", 1, kParamMax))};
  if (!inputs.shapes.empty() && !(inputs.shapes.front() == input)) {
    throw std::invalid_argument(msg::input_mismatch(name()));
  }
  PooledConvBuild conv = build_pooled_conv(*this, inputs, input, kV1ConvKeys, ConvForm::Standard);
  conv.build.variables = {
      {"weights", weights_type(*this), Shape{conv.kernel_y, conv.kernel_x, conv.channels, conv.filters}},
  };
  add_thresholds_and_steps(conv.build.variables, conv.filters);
  return std::move(conv.build);
}

Convolutional::Convolutional(const LayerParams& params, std::string name)
    : PooledConvolution(LayerType::Convolutional, params, std::move(name)) {}

LayerBuild Convolutional::build(const LayerInputs& inputs) const {
  PooledConvBuild conv = build_pooled_conv(*this, inputs, inputs.shapes.at(0), kV1ConvKeys, ConvForm::Standard);
  conv.build.variables = {
      {"weights", weights_type(*this), Shape{conv.filters, conv.channels, conv.kernel_y, conv.kernel_x},
       Layout::Reversed},
  };
  add_thresholds_and_steps(conv.build.variables, conv.filters);
  return std::move(conv.build);
}

SeparableConvolutional::SeparableConvolutional(const LayerParams& params, std::string name)
    : PooledConvolution(LayerType::SeparableConvolutional, params, std::move(name)) {}

LayerBuild SeparableConvolutional::build(const LayerInputs& inputs) const {
  PooledConvBuild conv = build_pooled_conv(*this, inputs, inputs.shapes.at(0), kV1ConvKeys, ConvForm::Separable);
  const TensorType type = weights_type(*this);
  conv.build.variables = {
      {"weights", type, Shape{1, conv.channels, conv.kernel_y, conv.kernel_x}, Layout::Reversed},
      {"weights_pw", type, Shape{conv.channels, conv.filters}},
  };
  add_thresholds_and_steps(conv.build.variables, conv.filters);
  return std::move(conv.build);
}

}  // namespace ornix
