#pragma once

#include <string>

#include "ornix/layers/pooled_convolution.h"

namespace ornix {

// Generation-2 convolutions. Keys "kernel_size", "kernel_stride", "padding", "pool_type",
// "pool_size", "pool_stride", "weights_bits" (4: int4 weights, other int8), "activation",
// "output_bits", and "filters" except for the depthwise form. Weights are row-major
// (K, K, input channels, filters).

// "weights", "input_shift" (uint8, one per input channel).
class Conv2D : public PooledConvolution {
 public:
  Conv2D(const LayerParams& params, std::string name);

 protected:
  LayerBuild build(const LayerInputs& inputs) const override;
};

// The first convolution of a generation-2 model, on the HRC. "weights" (int8), "padding_value"
// (uint8, one per input channel), "output_shift" (int8), "output_scales" (uint8), "bias_shift"
// (uint8), "bias" (int8), one per filter. Scales start at 1, the others at 0.
class InputConv2D : public PooledConvolution {
 public:
  InputConv2D(const LayerParams& params, std::string name);

 protected:
  LayerBuild build(const LayerInputs& inputs) const override;
};

// One filter per input channel: "weights" (K, K, 1, channels), "input_shift" (uint8, one per
// channel).
class DepthwiseConv2D : public PooledConvolution {
 public:
  DepthwiseConv2D(const LayerParams& params, std::string name);

 protected:
  LayerBuild build(const LayerInputs& inputs) const override;
};

}  // namespace ornix
