#pragma once

#include <cstdint>

#include "ornix/layer_types.h"
#include "ornix/shape.h"

namespace ornix {

// The positions a window takes while sliding over an image (ornix/ops/ops.h): the output size,
// the padding and the strides that the convolution and pooling operations take, as eight fields
// numbered in declaration order. Along each axis, Valid fits (size - window) / stride + 1 windows
// without padding; Same gives ceil(size / stride) windows and pads by
// (out - 1) x stride + window - size, the smaller half before.
struct ImagePatches {
  // `input`: (width, height, channels) or (frames, width, height, channels). Windows of at least
  // 1, strides of 1 to 127. std::invalid_argument for other values, another rank, or a Valid
  // window larger than the input.
  ImagePatches(int32_t window_x, int32_t window_y, int32_t stride_x, int32_t stride_y, Padding padding,
               const Shape& input);

  int32_t pad_top = 0;      // 0: rows added before the first row (dimension 1)
  int32_t pad_bottom = 0;   // 1: rows added after the last row
  int32_t pad_left = 0;     // 2: columns added before the first column (dimension 0)
  int32_t pad_right = 0;    // 3: columns added after the last column
  uint32_t out_width = 0;   // 4: window positions along dimension 0
  uint32_t out_height = 0;  // 5: window positions along dimension 1
  int8_t stride_x = 1;      // 6: step along dimension 0
  int8_t stride_y = 1;      // 7: step along dimension 1
};

}  // namespace ornix
