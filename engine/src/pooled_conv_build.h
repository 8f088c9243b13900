#pragma once

#include <cstdint>
#include <vector>

#include "ornix/layer_impl.h"

namespace ornix {

// Parameter names of a pooled convolution, per generation.
struct ConvKeys {
  const char* kernel_x;
  const char* kernel_y;
  const char* stride_x;
  const char* stride_y;
  const char* pool_x;
  const char* pool_y;
  const char* pool_stride_x;
  const char* pool_stride_y;
};

inline constexpr ConvKeys kV1ConvKeys{"kernel_width",   "kernel_height",  "stride_x",         "stride_y",
                                      "pooling_width",  "pooling_height", "pooling_stride_x", "pooling_stride_y"};
inline constexpr ConvKeys kV2ConvKeys{"kernel_size", "kernel_size", "kernel_stride", "kernel_stride",
                                      "pool_size",   "pool_size",   "pool_stride",   "pool_stride"};

// How the filters read the input channels; it decides the filter count and the MACs.
enum class ConvForm {
  Standard,   // "filters" filters over every channel
  Depthwise,  // one filter per channel
  Separable,  // a depthwise kernel per channel, then "filters" pointwise filters
};

struct PooledConvBuild {
  LayerBuild build;  // inputs, bits, output, conv, pool and MACs set; no variables yet
  uint32_t kernel_x = 0;
  uint32_t kernel_y = 0;
  uint32_t channels = 0;  // input channels
  uint32_t filters = 0;   // output channels
};

// Builds a convolution over `input` (width, height, channels) followed by its pooling.
PooledConvBuild build_pooled_conv(const LayerImpl& layer, const LayerInputs& inputs, const Shape& input,
                                  const ConvKeys& keys, ConvForm form);

}  // namespace ornix
