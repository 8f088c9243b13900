#pragma once

#include <cstdint>

#include "ornix/layer.h"

namespace ornix::v1 {

// The parameters the generation-1 checks read from a convolution (InputConvolutional,
// Convolutional, SeparableConvolutional), as the engine stored them: a layer's parameters hold
// its class's defaults for the keys it was created without.
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
  int32_t pooling_stride_x;  // negative: pooling_width (effective_pool_stride)
  int32_t pooling_stride_y;  // negative: pooling_height
  int32_t weights_bits;
  int32_t activation;        // ActivationType
  int32_t act_bits;
};

// A missing key throws std::invalid_argument naming the layer and the key (param_of).
ConvParams read_conv_params(const Layer& layer);

}  // namespace ornix::v1
