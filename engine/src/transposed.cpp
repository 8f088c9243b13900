#include "ornix/layers/transposed.h"

#include "layer_build.h"

namespace ornix {

namespace {

struct Transposed {
  uint32_t kernel;
  uint32_t width;     // input
  uint32_t height;    // input
  uint32_t channels;  // input
  uint32_t filters;   // output channels
};

// Output (width x stride, height x stride, filters); `filters` 0 means one per input channel.
Transposed build_transposed(const LayerImpl& layer, const LayerInputs& inputs, bool depthwise, LayerBuild& build) {
  const ParamReader params(layer);
  const Shape& input = inputs.shapes.at(0);
  const Transposed t{static_cast<uint32_t>(params.get("kernel_size", 1, kParamMax)), input[0], input[1], input[2],
                     depthwise ? input[2] : static_cast<uint32_t>(params.get("filters", 1, kParamMax))};
  const auto stride = static_cast<uint64_t>(params.get("kernel_stride", 1, kParamMax));
  build = start_build(layer, inputs);
  build.output = plane(checked_dim(t.width * stride), checked_dim(t.height * stride), t.filters);
  return t;
}

}  // namespace

Conv2DTranspose::Conv2DTranspose(const LayerParams& params, std::string name)
    : LayerImpl(LayerType::Conv2DTranspose, params, std::move(name)) {}

LayerBuild Conv2DTranspose::build(const LayerInputs& inputs) const {
  LayerBuild build;
  const Transposed t = build_transposed(*this, inputs, false, build);
  build.macs = product({t.width, t.height, t.channels, t.filters, t.kernel, t.kernel});
  build.variables = {
      {"weights", weights_type(*this), Shape{t.kernel, t.kernel, t.channels, t.filters}},
      per_channel("input_shift", TensorType::uint8, t.channels),
  };
  return build;
}

DepthwiseConv2DTranspose::DepthwiseConv2DTranspose(const LayerParams& params, std::string name)
    : LayerImpl(LayerType::DepthwiseConv2DTranspose, params, std::move(name)) {}

LayerBuild DepthwiseConv2DTranspose::build(const LayerInputs& inputs) const {
  LayerBuild build;
  const Transposed t = build_transposed(*this, inputs, true, build);
  build.macs = product({t.width, t.height, t.channels, t.kernel, t.kernel});
  build.variables = {
      {"weights", weights_type(*this), Shape{t.kernel, t.kernel, 1, t.channels}},
      per_channel("input_shift", TensorType::uint8, t.channels),
  };
  return build;
}

}  // namespace ornix
