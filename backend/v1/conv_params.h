#pragma once

#include <cstdint>

#include "ornix/layer_params.h"

namespace ornix::v1 {

// The parameters the generation-1 checks read from a convolution (InputConvolutional,
// Convolutional, SeparableConvolutional) or, for the keys it has, a FullyConnected layer.
// Keys the layer leaves out read as the engine builds them: strides 1, Valid padding, no
// pooling (sizes 0), pooling strides -1 (the pooling size), no activation, act_bits and
// weights_bits 8, kernel and filters 0.
struct ConvParams {
  int32_t filters;
  int32_t kernel_width;
  int32_t kernel_height;
  int32_t stride_x;
  int32_t stride_y;
  int32_t padding;           // Padding
  int32_t pool_type;         // PoolType
  int32_t pooling_width;     // -1: global pooling
  int32_t pooling_height;
  int32_t pooling_stride_x;  // negative: pooling_width
  int32_t pooling_stride_y;  // negative: pooling_height
  int32_t weights_bits;
  int32_t activation;        // ActivationType
  int32_t act_bits;
};

ConvParams read_conv_params(const LayerParams& params);

// A pooling stride as the engine applies it: a negative one is the pooling size.
inline int32_t pool_stride(int32_t stride, int32_t size) { return stride < 0 ? size : stride; }

}  // namespace ornix::v1
