#include "ornix/layers/input_data.h"

#include "layer_build.h"

namespace ornix {

InputData::InputData(const LayerParams& params, std::string name)
    : LayerImpl(LayerType::InputData, params, std::move(name)) {}

LayerBuild InputData::build(const LayerInputs& inputs) const {
  const ParamReader params(*this);
  const Shape input{static_cast<uint32_t>(params.get("input_width", 1, kParamMax)),
                    static_cast<uint32_t>(params.get("input_height", 1, kParamMax)),
                    static_cast<uint32_t>(params.get("input_channels", 1, kParamMax))};
  LayerBuild build = start_build(*this, inputs);
  build.inputs = {input};
  build.output = input;
  build.output_bits = build.input_bits;
  build.output_signed = params.get("input_signed", 0, 1) != 0;
  return build;
}

}  // namespace ornix
