#pragma once

#include <cstddef>
#include <cstdint>

#include "ornix/tensor.h"

namespace ornix::ops::detail {

// An image tensor read as (frames, width, height, channels); a rank-3 tensor is one frame.
struct ImageView {
  uint32_t frames = 1;
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t channels = 0;
  bool batched = false;  // rank 4

  size_t frame_size() const { return size_t{width} * height * channels; }
  // The shape of a result of that many frames (rank as the input's).
  Shape result_shape(uint32_t out_width, uint32_t out_height, uint32_t out_channels) const;
};

// std::invalid_argument unless `x` is a row-major image of rank 3 or 4 of `type`.
ImageView image_view(const Dense& x, TensorType type, const char* op, const char* arg);

// One axis of a sliding window: std::invalid_argument unless the stride is at least 1, the
// padding before is 0 to window - 1, and out >= 1 windows start inside the padded input.
void check_axis(const char* op, const char* axis, uint32_t size, int64_t window, int64_t stride, int64_t pad_before,
                uint32_t out);

}  // namespace ornix::ops::detail
