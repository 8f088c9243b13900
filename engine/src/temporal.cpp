#include "ornix/layers/temporal.h"

#include "layer_build.h"

namespace ornix {

BufferTempConv::BufferTempConv(const LayerParams& params, std::string name)
    : LayerImpl(LayerType::BufferTempConv, params, std::move(name)) {}

LayerBuild BufferTempConv::build(const LayerInputs& inputs) const {
  const ParamReader params(*this);
  const auto fifo = static_cast<uint32_t>(params.get("fifo_size", 1, kParamMax));
  const auto filters = static_cast<uint32_t>(params.get("filters", 1, kParamMax));
  const Shape& input = inputs.shapes.at(0);
  LayerBuild build = start_build(*this, inputs);
  build.output = plane(input[0], input[1], filters);
  build.macs = product({input[0], input[1], filters, fifo, input[2]});
  build.variables = {
      {"weights", weights_type(*this), Shape{1, 1, checked_dim(product({fifo, input[2]})), filters}},
      per_channel("input_shift", TensorType::uint8, input[2]),
  };
  return build;
}

DepthwiseBufferTempConv::DepthwiseBufferTempConv(const LayerParams& params, std::string name)
    : LayerImpl(LayerType::DepthwiseBufferTempConv, params, std::move(name)) {}

LayerBuild DepthwiseBufferTempConv::build(const LayerInputs& inputs) const {
  const auto fifo = static_cast<uint32_t>(ParamReader(*this).get("fifo_size", 1, kParamMax));
  const Shape& input = inputs.shapes.at(0);
  LayerBuild build = start_build(*this, inputs);
  build.output = input;
  build.macs = product({input[0], input[1], input[2], fifo});
  build.variables = {
      {"weights", weights_type(*this), Shape{1, 1, fifo, input[2]}},
      per_channel("input_shift", TensorType::uint8, input[2]),
  };
  return build;
}

StatefulRecurrent::StatefulRecurrent(const LayerParams& params, std::string name)
    : LayerImpl(LayerType::StatefulRecurrent, params, std::move(name)) {}

LayerBuild StatefulRecurrent::build(const LayerInputs& inputs) const {
  const auto out_channels = static_cast<uint32_t>(ParamReader(*this).get("out_channels", 1, kParamMax));
  const Shape& input = inputs.shapes.at(0);
  LayerBuild build = start_build(*this, inputs);
  build.output = plane(input[0], input[1], out_channels);
  return build;
}

}  // namespace ornix
