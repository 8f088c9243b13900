#pragma once

#include <cstdint>
#include <memory>

#include "ornix/tensor.h"

// Pooling over images (arithmetic and axes in ornix/ops/ops.h; geometry from ImagePatches).

namespace ornix::ops {

// The average of each channel over the whole plane of the int32 image x, rounded half up and
// saturated to n signed bits: (1, 1, channels), or (frames, 1, 1, channels).
std::shared_ptr<Dense> global_average_pooling(std::shared_ptr<const Dense> x, int n);

// The maximum of each window_x x window_y window of the int32 image x. Padded positions count as
// 0 when `pad_is_zero`, otherwise they are left out (a window must then hold an input element).
// The result is (out_width, out_height, channels), saturated to n signed bits.
std::shared_ptr<Dense> max_pooling(std::shared_ptr<const Dense> x, uint8_t window_x, int8_t window_y, bool pad_is_zero,
                                   uint32_t out_width, uint32_t out_height, int8_t stride_x, int8_t stride_y,
                                   int32_t pad_left, int32_t pad_right, int32_t pad_top, int32_t pad_bottom, int n);

}  // namespace ornix::ops
