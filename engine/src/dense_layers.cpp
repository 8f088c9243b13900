#include "ornix/layers/dense.h"

#include "layer_build.h"

namespace ornix {

namespace {

// Inputs per neuron: every element of the first input.
uint32_t inputs_per_neuron(const LayerInputs& inputs) {
  const Shape& input = inputs.shapes.at(0);
  return checked_dim(product({input[0], input[1], input[2]}));
}

}  // namespace

FullyConnected::FullyConnected(const LayerParams& params, std::string name)
    : LayerImpl(LayerType::FullyConnected, params, std::move(name)) {}

const LearningParams* FullyConnected::learning() const { return learning_.lock().get(); }

LayerBuild FullyConnected::build(const LayerInputs& inputs) const {
  const auto units = static_cast<uint32_t>(ParamReader(*this).get("units", 1, kParamMax));
  const uint32_t per_neuron = inputs_per_neuron(inputs);
  LayerBuild build = start_build(*this, inputs);
  build.output = plane(1, 1, units);
  build.macs = product({per_neuron, units});
  build.variables = {
      {"weights", weights_type(*this), Shape{units, per_neuron}, Layout::Reversed},
      per_channel("threshold", TensorType::int32, units),
      per_channel("act_step", TensorType::float32, units),
  };
  return build;
}

Dense1D::Dense1D(const LayerParams& params, std::string name)
    : LayerImpl(LayerType::Dense1D, params, std::move(name)) {}

LayerBuild Dense1D::build(const LayerInputs& inputs) const {
  const ParamReader params(*this);
  const auto units = static_cast<uint32_t>(params.has("units") ? params.get("units", 1, kParamMax)
                                                               : params.get("filters", 1, kParamMax));
  const uint32_t per_neuron = inputs_per_neuron(inputs);
  LayerBuild build = start_build(*this, inputs);
  build.output = plane(1, 1, units);
  build.macs = product({per_neuron, units});
  build.variables = {
      {"weights", weights_type(*this), Shape{per_neuron, units}},
      // One shift per input value: the FNP reads them in the order of its input slots.
      per_channel("input_shift", TensorType::uint8, per_neuron),
      per_channel("bias", TensorType::int8, units),
      per_channel("bias_shift", TensorType::uint8, units),
      per_channel("output_scales", TensorType::uint8, units),
      per_channel("output_shift", TensorType::int8, units),
  };
  return build;
}

}  // namespace ornix
