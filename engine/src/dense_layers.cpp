#include "ornix/layers/dense.h"

#include <stdexcept>

#include "layer_build.h"
#include "layer_messages.h"

namespace ornix {

namespace {

// Inputs per neuron: every element of the first input.
uint32_t inputs_per_neuron(const LayerInputs& inputs) {
  const Shape& input = inputs.shapes.at(0);
  return checked_dim(product({input[0], input[1], input[2]}));
}

// A fully connected layer is made only with its neuron count.
void require_units(const Layer& layer) {
  if (!layer.params()->has("units")) throw std::invalid_argument(msg::missing_param(layer.name(), "units"));
}

}  // namespace

FullyConnected::FullyConnected(const LayerParams& params, std::string name)
    : LayerImpl(LayerType::FullyConnected, params, std::move(name)) {
  require_units(*this);
}

const LearningParams* FullyConnected::learning() const { return learning_.lock().get(); }

LayerBuild FullyConnected::build(const LayerInputs& inputs) const {
  const auto units = static_cast<uint32_t>(ParamReader(*this).get("units", 1, kParamMax));
  const uint32_t per_neuron = inputs_per_neuron(inputs);
  LayerBuild build = start_build(*this, inputs);
  build.output = plane(1, 1, units);
  build.macs = product({per_neuron, units});
  build.variables = {{"weights", weights_type(*this), Shape{units, per_neuron}, Layout::Reversed}};
  add_thresholds_and_steps(build.variables, units);
  return build;
}

Dense1D::Dense1D(const LayerParams& params, std::string name)
    : LayerImpl(LayerType::Dense1D, params, std::move(name)) {
  require_units(*this);
}

LayerBuild Dense1D::build(const LayerInputs& inputs) const {
  const auto units = static_cast<uint32_t>(ParamReader(*this).get("units", 1, kParamMax));
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
      per_channel("output_scales", TensorType::uint8, units, 1),
      per_channel("output_shift", TensorType::int8, units),
  };
  return build;
}

}  // namespace ornix
