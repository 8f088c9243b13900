#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "ornix/shape.h"

namespace ornix {

// The convolution of a built layer, computed when the layer joins a model. As u32 words
// (`words()`):
//   0 output_width     columns of the convolution's output, before pooling
//   1 output_height    rows of the convolution's output, before pooling
//   2 output_channels  filters (the input channels of a depthwise convolution)
//   3 output_rows      rows the convolution produces, equal to output_height (the index
//                      generation-1 checks read)
//   4-7 padding        zero rows and columns added around the input: top, bottom, left, right
// An InputConvolutional layer's built record is this sequence; its words 4 to 7 are the HRC
// padding amounts.
struct ConvCalculatedParams {
  static constexpr size_t kWords = 8;

  uint32_t output_width = 0;
  uint32_t output_height = 0;
  uint32_t output_channels = 0;
  uint32_t output_rows = 0;
  PaddingParams padding;

  std::array<uint32_t, kWords> words() const {
    return {output_width, output_height, output_channels, output_rows,
            padding.top,  padding.bottom, padding.left,    padding.right};
  }
  bool operator==(const ConvCalculatedParams&) const = default;
};

// The pooling of a built layer, applied to its convolution's output. Without pooling: strides
// 1 and 1, the convolution's output size, no padding, pool_flag false. Global pooling (a pool
// size of -1) reduces the plane to 1 x 1 with strides 1 and no padding.
struct PoolingCalculatedParams {
  int8_t stride_x = 1;    // byte 0: pooling stride along x (columns)
  int8_t stride_y = 1;    // byte 1: pooling stride along y (rows)
  uint32_t width = 0;     // pooled output width
  uint32_t height = 0;    // pooled output height
  PaddingParams padding;  // rows and columns pooling adds around the convolution's output
  bool pool_flag = false; // closing byte: the layer pools
  bool operator==(const PoolingCalculatedParams&) const = default;
};

// Layers with a convolution: its built geometry, absent until the layer joins a model.
class HasConvParams {
 public:
  virtual ~HasConvParams() = default;
  virtual const std::optional<ConvCalculatedParams>& conv_params() const = 0;
};

// Layers that may pool after their convolution: the built pooling, absent until the layer
// joins a model.
class HasPoolParams {
 public:
  virtual ~HasPoolParams() = default;
  virtual const std::optional<PoolingCalculatedParams>& pool_params() const = 0;
};

}  // namespace ornix
