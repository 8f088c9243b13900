#pragma once

#include <string>

#include "ornix/layers/pooled_convolution.h"

namespace ornix {

// Generation-1 convolutions. Keys "kernel_width", "kernel_height", "stride_x", "stride_y",
// "padding", "filters", "pool_type", "pooling_width", "pooling_height", "pooling_stride_x",
// "pooling_stride_y", "weights_bits" (1, 2, 4), "activation", "act_bits". Each has "threshold"
// (int32, starting at 0) and "act_step" (float32, starting at 1), one per filter. Weights are
// int8-family tensors whose type follows "weights_bits" (1 bit, 2 int2, 4 int4, other int8).

// The first convolution of a generation-1 model, on the HRC. Its input is (input_width,
// input_height, input_channels) from its parameters, and it may start a model. "weights"
// (K, K, input channels, filters) row-major. Its built record is conv_params().
class InputConvolutional : public PooledConvolution {
 public:
  InputConvolutional(const LayerParams& params, std::string name);

 protected:
  LayerBuild build(const LayerInputs& inputs) const override;
};

// "weights" in reversed layout, dimensions (filters, input channels, kernel height, kernel
// width): element (filter, channel, row, column).
class Convolutional : public PooledConvolution {
 public:
  Convolutional(const LayerParams& params, std::string name);

 protected:
  LayerBuild build(const LayerInputs& inputs) const override;
};

// A depthwise kernel per input channel then a pointwise matrix. "weights" reversed, dimensions
// (1, input channels, kernel height, kernel width): element (0, channel, row, column);
// "weights_pw" row-major (input channels, filters): row c holds one value per filter.
class SeparableConvolutional : public PooledConvolution {
 public:
  SeparableConvolutional(const LayerParams& params, std::string name);

 protected:
  LayerBuild build(const LayerInputs& inputs) const override;
};

}  // namespace ornix
