#pragma once

#include <memory>

#include "ornix/tensor.h"

// Element-wise operations (arithmetic in ornix/ops/ops.h). `x` is an int32 tensor of any shape;
// the result has its shape.

namespace ornix::ops {

// x[i] x 2^y[c] for the unsigned shifts y (uint8, one per channel), saturated to n signed bits.
std::shared_ptr<Dense> lshift(const Dense& x, const Dense& y, int n);

// x[i] shifted by the signed y[c] (int8, one per channel: left when positive, right with
// rounding half up when negative), saturated to n signed bits.
std::shared_ptr<Dense> shift(const Dense& x, const Dense& y, int n);

// The output stage of an activated layer: x[i] shifted like `shift`, then saturated to the
// unsigned range [0, 2^n - 1] (negative values become 0).
std::shared_ptr<Dense> shift_out(const Dense& x, const Dense& y, int n);

// x[i] + y[i] for int32 tensors of one shape, saturated to n signed bits.
std::shared_ptr<Dense> add(const Dense& x, const Dense& y, int n);

// The output stage of a layer: (x[i] x y[c]) shifted by z[c], for the scales y (uint8) and the
// signed shifts z (int8), one per channel each, then saturated to n bits: signed when m is 1,
// unsigned ([0, 2^n - 1]) when m is 0; other m values are refused.
std::shared_ptr<Dense> scale_out(const Dense& x, const Dense& y, const Dense& z, int n, int m);

// The bounded rectifier: x[i] limited to [0, y[c]] for the int32 ceilings y (one per channel,
// each at least 0).
std::shared_ptr<Dense> relu_activation(const Dense& x, const Dense& y);

// Table look-up: y[clamp(x[i], 0, L - 1)] for an int32 table y of L entries, or, when y is
// (channels, L) with channels the last dimension of x, the table of x[i]'s channel.
std::shared_ptr<Dense> look_up(const Dense& x, const Dense& y);

// float32 x[i] x y[c] for the float32 scales y (one per channel).
std::shared_ptr<Dense> dequantize(const Dense& x, const Dense& y);

}  // namespace ornix::ops
