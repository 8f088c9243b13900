#pragma once

#include <cstdint>
#include <memory>
#include <utility>

#include "ornix/tensor.h"

// Operations over frames in time (arithmetic in ornix/ops/ops.h). A buffer of frames has the
// frame index as dimension 0, the oldest frame first.

namespace ornix::ops {

// Pushes the int8 frame y (one frame's shape, or its element count) into the int8 buffer x:
// every frame moves one place toward index 0, the oldest is dropped and y becomes the last.
void fifo_op(Dense& x, const Dense& y);

// Temporal depthwise filter: sum over t of x[t, ..., c] x y[t, c] for the int32 buffer x
// (T, ..., channels) and int8 weights y (T, channels); the result has a frame's shape,
// 32-bit accumulators, saturated to n signed bits.
std::shared_ptr<Dense> depthwise_like_conv(const Dense& x, const Dense& y, int n);

// One step of a diagonal complex recurrence over S states per position. a: int32 input
// (..., inputs); b: int8 input projection (inputs, S); c and d: int32 real and imaginary states
// (..., S), updated in place; e and f: int16 real and imaginary parts of each state's decay (S),
// fixed point with n fractional bits (0 to 15). With u = a x b (per position):
//   c' = round((e c - f d) / 2^n) + u,   d' = round((f c + e d) / 2^n),
// rounded half up and saturated to m signed bits. Returns copies of (c', d').
std::pair<std::shared_ptr<Dense>, std::shared_ptr<Dense>> update_internal_state(const Dense& a, const Dense& b, Dense& c,
                                                                               Dense& d, const Dense& e, const Dense& f,
                                                                               int n, int m);

// Every k-th frame of the int32 tensor x (indices 0, k, 2k, ... of dimension 0), k >= 1.
std::shared_ptr<Dense> subsampling(const Dense& x, uint8_t k);

// In place on the int32 tensor x: each value x 2^k, saturated to 32 bits.
void upshape(Dense& x, uint8_t k);

// In place on the int32 tensor x: each value / 2^k, rounded half up.
void downshape(Dense& x, uint8_t k);

}  // namespace ornix::ops
