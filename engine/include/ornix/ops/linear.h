#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "ornix/tensor.h"

// Matrix and token operations (arithmetic in ornix/ops/ops.h).

namespace ornix::ops {

// x (..., K) times y (K, N), or times the transpose of y (N, K) when `transposed_y`; all int32.
// The result is (..., N): every leading row of x multiplied, 32-bit accumulators, saturated to
// n signed bits.
std::shared_ptr<Dense> matmul(const Dense& x, const Dense& y, int n, bool transposed_y);

// The tensors joined along their last dimension, in order. They must share their element type,
// their rank and every dimension but the last. std::invalid_argument for an empty list or a null
// tensor.
std::shared_ptr<Dense> concatenate_last_dim(const std::vector<std::shared_ptr<Dense>>& tensors);

// One token of the image x (width, height, channels) or (frames, width, height, channels): the
// first `channels` values of position (column a, row b), negative positions counting from the
// end (-1 is the last). The result is (1, 1, channels), or (frames, 1, 1, channels).
std::shared_ptr<Dense> extract_token(const Dense& x, int32_t a, int32_t b, uint32_t channels);

}  // namespace ornix::ops
