#include "layer_build.h"

#include <array>
#include <stdexcept>

#include "layer_messages.h"
#include "ornix/panic.h"
#include "tensor_messages.h"

namespace ornix {

int32_t ParamReader::checked(const char* key, int32_t value, int32_t min, int32_t max) const {
  if (value < min || value > max) {
    throw std::invalid_argument(msg::param_out_of_range(layer_.name(), key, value, min, max));
  }
  return value;
}

int32_t ParamReader::get(const char* key, int32_t min, int32_t max) const {
  return checked(key, param_of(layer_, key), min, max);
}

int32_t ParamReader::get_or(const char* key, int32_t fallback, int32_t min, int32_t max) const {
  return has(key) ? get(key, min, max) : fallback;
}

int32_t ParamReader::pool_size(const char* key) const {
  const int32_t value = param_of(layer_, key);
  if (value != -1 && value < 1) throw std::invalid_argument(msg::pool_size_out_of_range(layer_.name(), key, value));
  return value;
}

int32_t ParamReader::pool_stride(const char* key, int32_t size) const {
  return checked(key, effective_pool_stride(param_of(layer_, key), size), 1, 127);
}

LayerBuild start_build(const LayerImpl& layer, const LayerInputs& inputs) {
  const ParamReader params(layer);
  LayerBuild build;
  build.inputs = inputs.shapes;
  const uint8_t inbound_bits = inputs.layers.empty() ? 8 : inputs.layers.front()->output_bits();
  build.input_bits = static_cast<uint8_t>(layer.is_input() ? params.get_or("input_bits", inbound_bits, 1, 32)
                                                           : inputs.layers.at(0)->output_bits());
  if (params.has("output_bits")) {
    build.output_bits = static_cast<uint8_t>(params.get("output_bits", 1, 32));
  } else {
    build.output_bits = static_cast<uint8_t>(layer.has_activation() ? params.get("act_bits", 1, 32) : 32);
  }
  build.output_signed = !layer.has_activation();
  return build;
}

void pass_through_bits(const LayerImpl& layer, const LayerInputs& inputs, LayerBuild& build) {
  const LayerImpl& first = *inputs.layers.at(0);
  const ParamReader params(layer);
  build.output_bits = static_cast<uint8_t>(params.get_or("output_bits", first.output_bits(), 1, 32));
  build.output_signed = first.output_signed();
}

TensorType weights_type(const Layer& layer) {
  switch (ParamReader(layer).get("weights_bits", 1, 32)) {
    case 1:
      return TensorType::bit;
    case 2:
      return TensorType::int2;
    case 4:
      return TensorType::int4;
    default:
      return TensorType::int8;
  }
}

Shape plane(uint32_t width, uint32_t height, uint32_t channels) {
  const std::array<uint32_t, 3> dims{width, height, channels};
  return Shape::unchecked(dims);
}

uint32_t checked_dim(uint64_t value) {
  if (value > Shape::kMaxElements) {
    panic(msg::kShapeTooLarge, static_cast<unsigned long>(value), static_cast<unsigned>(Shape::kMaxElements));
  }
  return static_cast<uint32_t>(value);
}

VariableSpec per_channel(const char* name, TensorType type, uint32_t count, int32_t initial) {
  return {name, type, Shape{count}, Layout::RowMajor, initial};
}

void add_thresholds_and_steps(std::vector<VariableSpec>& variables, uint32_t count) {
  variables.push_back(per_channel("threshold", TensorType::int32, count));
  variables.push_back(per_channel("act_step", TensorType::float32, count, 1));
}

uint64_t product(std::initializer_list<uint64_t> factors) {
  uint64_t result = 1;
  for (const uint64_t factor : factors) {
    if (__builtin_mul_overflow(result, factor, &result)) return UINT64_MAX;
  }
  return result;
}

}  // namespace ornix
