#pragma once

// The two parameter words that open each neuron's area of the FNP memory image:
//   word 0: [31:24] "max_value_shift" | [23:16] "max_value" | [15:8] "bias_shift" | [7:0] "bias"
//   word 1: [31:16] 0 | [15:8] "output_shift" | [7:0] "output_scales"
// The max fields stay 0 when the layer has neither max variable.

#include <cstdint>
#include <memory>
#include <vector>

#include "ornix/layer.h"
#include "program/register_field.h"
#include "ornix/tensor.h"

namespace ornix::v2 {

// The layer's per-neuron variables, looked up once and held.
class FnpNeuronParameters {
 public:
  // Failures: a missing variable, std::invalid_argument; a layer with only one of "max_value"
  // and "max_value_shift", std::invalid_argument naming the layer.
  explicit FnpNeuronParameters(const Layer& layer);

  // Raises what writing neurons 0 .. neurons - 1 in order would meet first, neuron by neuron,
  // field by field (bias, bias shift, max value and its shift, output scale, output shift): a
  // variable of the wrong element type ("bias" and "output_shift" signed 8-bit, the others
  // unsigned 8-bit; panic) or too short ("Coordinates are out-of-range"; panic).
  void check(uint32_t neurons) const;

  // Writes the parameter fields of neuron `n` into `area[0]` and `area[1]`, keeping their other
  // bits. The variables must have passed check for more than n neurons.
  void write(uint32_t* area, uint32_t n) const;

 private:
  // One per-neuron variable and the field that holds its byte.
  struct Field {
    std::shared_ptr<const Dense> values;
    bool is_signed;
    uint32_t word;  // 0 or 1
    RegDetail detail;
  };

  std::vector<Field> fields_;  // in write order
};

}  // namespace ornix::v2
