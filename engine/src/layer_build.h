#pragma once

#include <cstdint>
#include <initializer_list>
#include <limits>
#include <string>
#include <vector>

#include "ornix/layer_impl.h"

// Shared steps of the layer classes' builds.

namespace ornix {

inline constexpr int32_t kParamMax = std::numeric_limits<int32_t>::max();

// Range-checked reads of one layer's parameters, as its class completed them
// (param_defaults.h). A missing key or a value outside [min, max] throws a
// std::invalid_argument naming the layer and the key.
class ParamReader {
 public:
  explicit ParamReader(const Layer& layer) : layer_(layer) {}

  bool has(const char* key) const { return layer_.params()->has(key); }
  int32_t get(const char* key, int32_t min, int32_t max) const;
  // For the keys whose absence has a meaning of its own ("input_bits", "output_bits").
  int32_t get_or(const char* key, int32_t fallback, int32_t min, int32_t max) const;
  // A pool size: -1 (global) or at least 1.
  int32_t pool_size(const char* key) const;
  // A pool stride, stored as a signed byte: negative means `size`; then 1 to 127.
  int32_t pool_stride(const char* key, int32_t size) const;

 private:
  int32_t checked(const char* key, int32_t value, int32_t min, int32_t max) const;

  const Layer& layer_;
};

// The common part of a build: the input shapes as given; input bits from "input_bits" for an
// input layer (else its inbound layer's output bits, else 8) or from the first inbound layer;
// output bits from "output_bits", else "act_bits" when the layer has an activation,
// else 32 (the accumulator); output signed exactly when there is no activation.
LayerBuild start_build(const LayerImpl& layer, const LayerInputs& inputs);

// Output bits and signedness of a layer that passes its first input's values on: "output_bits"
// when present, else the first inbound layer's; signed when that layer's output is.
void pass_through_bits(const LayerImpl& layer, const LayerInputs& inputs, LayerBuild& build);

// Element type of a weights variable for the layer's "weights_bits": 1 bit, 2 int2,
// 4 int4, other int8.
TensorType weights_type(const Layer& layer);

// (width, height, channels); a 0 dimension is kept.
Shape plane(uint32_t width, uint32_t height, uint32_t channels);

// A dimension computed in 64 bits; panics like an oversized shape above Shape::kMaxElements.
uint32_t checked_dim(uint64_t value);

// A variable of one value per channel, filter or neuron, each `initial` when created.
VariableSpec per_channel(const char* name, TensorType type, uint32_t count, int32_t initial = 0);

// Adds the neuron values of a generation-1 layer of `count` filters or neurons: "threshold"
// (int32) starting at 0 and "act_step" (float32) starting at 1, a step that passes potentials on
// as they are.
void add_thresholds_and_steps(std::vector<VariableSpec>& variables, uint32_t count);

// Product of the factors, saturating at UINT64_MAX.
uint64_t product(std::initializer_list<uint64_t> factors);

}  // namespace ornix
