#pragma once

#include <cstdint>
#include <memory>

#include "ornix/tensor.h"

// Convolutions over images (arithmetic and axes in ornix/ops/ops.h). Inputs are (width, height,
// channels) or (frames, width, height, channels); weights are int8 (window_x, window_y, channels,
// filters), dimension 0 sliding along the input's dimension 0. Geometry comes from ImagePatches:
// output position (i, j) reads input columns i x stride_x - pad_left + 0..window_x-1 and rows
// j x stride_y - pad_top + 0..window_y-1; positions outside the input read the padding value.

namespace ornix::ops {

// Standard convolution of the int32 image x with int8 weights w, zero padding, 32-bit
// accumulators, saturated to n signed bits. The result is (out_width, out_height, filters).
std::shared_ptr<Dense> conv2d_v2(const Dense& x, int8_t stride_x, int8_t stride_y, int32_t pad_top, int32_t pad_left,
                                 uint32_t out_width, uint32_t out_height, const Dense& w, int n);

// The int8 weights w (window_x, window_y, channels, filters) as one row per filter:
// (filters, window_x x window_y x channels), each row in (x, y, channel) order.
std::shared_ptr<Dense> linearize_filters(const Dense& w);

// Convolution of the uint8 image x padded with the uint8 value v[c] of each channel (one per
// channel), with filters lw as made by linearize_filters for a window_x x window_y window. All
// four pads are given and must agree with the output size. The result is int32 sums.
std::shared_ptr<Dense> input_conv2d(const Dense& x, const Dense& v, int8_t stride_x, int8_t stride_y, int32_t pad_left,
                                    int32_t pad_right, int32_t pad_top, int32_t pad_bottom, uint32_t out_width,
                                    uint32_t out_height, int32_t window_x, int32_t window_y, const Dense& lw);

// Transposed convolution: input position (i, j) adds x[i, j, c] x w[a, b, c, f] to output
// position (i x s + a - pad_x, j x s + b - pad_y, f) when that lies inside the (out_width,
// out_height, filters) result; int32 x, int8 w, 32-bit accumulators.
std::shared_ptr<Dense> conv2d_transpose(const Dense& x, const Dense& w, uint8_t s, int32_t pad_x, int32_t pad_y,
                                        uint32_t out_width, uint32_t out_height);

// Depthwise convolution: channel c of the int32 image x with its own int8 kernel w[.., .., 0, c]
// (w is (window_x, window_y, 1, channels)), zero padding. The result is int32
// (out_width, out_height, channels).
std::shared_ptr<Dense> depthwise_conv2d(const Dense& x, int8_t stride_x, int8_t stride_y, int32_t pad_top,
                                        int32_t pad_left, uint32_t out_width, uint32_t out_height, const Dense& w);

}  // namespace ornix::ops
