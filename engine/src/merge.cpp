#include "ornix/layers/merge.h"

#include <algorithm>
#include <stdexcept>

#include "layer_build.h"
#include "layer_messages.h"

namespace ornix {

Add::Add(const LayerParams& params, std::string name) : LayerImpl(LayerType::Add, params, std::move(name)) {}

LayerBuild Add::build(const LayerInputs& inputs) const {
  const Shape& first = inputs.shapes.at(0);
  if (!std::all_of(inputs.shapes.begin(), inputs.shapes.end(), [&](const Shape& s) { return s == first; })) {
    throw std::invalid_argument(msg::unequal_input_shapes(name()));
  }
  LayerBuild build = start_build(*this, inputs);
  pass_through_bits(*this, inputs, build);
  build.output = first;
  build.variables = {
      per_channel("a_shift", TensorType::uint8, first[2]),
      per_channel("b_shift", TensorType::uint8, first[2]),
      per_channel("output_shift", TensorType::int8, first[2]),
  };
  return build;
}

Concatenate::Concatenate(const LayerParams& params, std::string name)
    : LayerImpl(LayerType::Concatenate, params, std::move(name)) {}

LayerBuild Concatenate::build(const LayerInputs& inputs) const {
  const Shape& first = inputs.shapes.at(0);
  uint64_t channels = 0;
  for (const Shape& shape : inputs.shapes) {
    if (shape[0] != first[0] || shape[1] != first[1]) throw std::invalid_argument(msg::unequal_input_planes(name()));
    channels += shape[2];
  }
  LayerBuild build = start_build(*this, inputs);
  pass_through_bits(*this, inputs, build);
  build.output = plane(first[0], first[1], checked_dim(channels));
  return build;
}

}  // namespace ornix
