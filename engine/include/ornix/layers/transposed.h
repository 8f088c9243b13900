#pragma once

#include <string>

#include "ornix/layer_impl.h"

namespace ornix {

// Generation-2 transposed convolutions: output (width x s, height x s, channels) for the
// stride s = "kernel_stride" (default 2). Keys "kernel_size", "kernel_stride", "weights_bits",
// "activation", "output_bits", and "filters" for the non-depthwise form. No pooling.

// "weights" (K, K, input channels, filters), "input_shift" (uint8, one per input channel).
class Conv2DTranspose : public LayerImpl {
 public:
  Conv2DTranspose(const LayerParams& params, std::string name);

 protected:
  LayerBuild build(const LayerInputs& inputs) const override;
};

// "weights" (K, K, 1, channels), "input_shift" (uint8, one per channel).
class DepthwiseConv2DTranspose : public LayerImpl {
 public:
  DepthwiseConv2DTranspose(const LayerParams& params, std::string name);

 protected:
  LayerBuild build(const LayerInputs& inputs) const override;
};

}  // namespace ornix
