#include "ornix/layers/readout.h"

#include "layer_build.h"

namespace ornix {

ExtractToken::ExtractToken(const LayerParams& params, std::string name)
    : LayerImpl(LayerType::ExtractToken, params, std::move(name)) {}

LayerBuild ExtractToken::build(const LayerInputs& inputs) const {
  LayerBuild build = start_build(*this, inputs);
  pass_through_bits(*this, inputs, build);
  build.output = plane(1, 1, inputs.shapes.at(0)[2]);
  return build;
}

Dequantizer::Dequantizer(const LayerParams& params, std::string name)
    : LayerImpl(LayerType::Dequantizer, params, std::move(name)) {}

LayerBuild Dequantizer::build(const LayerInputs& inputs) const {
  LayerBuild build = start_build(*this, inputs);
  build.output = inputs.shapes.at(0);
  build.output_bits = 32;
  build.output_signed = true;
  // One factor per channel, applied to the values as they leave the device or the software run.
  build.variables = {per_channel("scales", TensorType::float32, build.output[2], 1)};
  return build;
}

}  // namespace ornix
