#pragma once

#include <string>

#include "ornix/layer_impl.h"

namespace ornix {

// Merge layers join two or more branches on skip-DMA engines. Their output bits are
// "output_bits" when present, else those of their first input; their output is signed when
// their first input is.

// Element-wise sum of inputs of equal shape; output that shape. "a_shift", "b_shift" (uint8)
// and "output_shift" (int8), one per channel.
class Add : public LayerImpl {
 public:
  Add(const LayerParams& params, std::string name);

 protected:
  LayerBuild build(const LayerInputs& inputs) const override;
};

// Inputs of equal width and height joined along the channels, in inbound order.
class Concatenate : public LayerImpl {
 public:
  Concatenate(const LayerParams& params, std::string name);

 protected:
  LayerBuild build(const LayerInputs& inputs) const override;
};

}  // namespace ornix
