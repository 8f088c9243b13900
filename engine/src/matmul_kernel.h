#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "ornix/tensor.h"

// Inner loops of the software operations. Callers check beforehand that no partial sum leaves
// the int32 range (detail::require_accumulator_fits); the loops then run over contiguous memory
// without checks, so that the compiler vectorizes them.

namespace ornix::ops::detail {

// acc[j] += value x w[j] for j < columns.
template <typename W>
inline void axpy(int32_t value, const W* __restrict w, int32_t* __restrict acc, size_t columns) {
  for (size_t j = 0; j < columns; ++j) acc[j] += value * static_cast<int32_t>(w[j]);
}

// acc[j] += x[j] x w[j] for j < count.
template <typename W>
inline void multiply_add(const int32_t* __restrict x, const W* __restrict w, int32_t* __restrict acc, size_t count) {
  for (size_t j = 0; j < count; ++j) acc[j] += x[j] * static_cast<int32_t>(w[j]);
}

// out (rows, columns) = x (rows, depth) times w (depth, columns), all row-major.
template <typename X, typename W>
void matmul_rows(const X* x, const W* w, int32_t* out, size_t rows, size_t depth, size_t columns) {
  for (size_t r = 0; r < rows; ++r) {
    int32_t* acc = out + r * columns;
    for (size_t j = 0; j < columns; ++j) acc[j] = 0;
    const X* row = x + r * depth;
    for (size_t k = 0; k < depth; ++k) axpy(static_cast<int32_t>(row[k]), w + k * columns, acc, columns);
  }
}

// The largest sum of absolute values over the columns of w (depth, columns).
template <typename W>
int64_t max_column_abs_sum(const W* w, size_t depth, size_t columns) {
  int64_t largest = 0;
  for (size_t j = 0; j < columns; ++j) {
    int64_t sum = 0;
    for (size_t k = 0; k < depth; ++k) sum += std::llabs(static_cast<int64_t>(w[k * columns + j]));
    largest = sum > largest ? sum : largest;
  }
  return largest;
}

// Saturates every value of the int32 tensor to `bits` signed bits.
void saturate_in_place(Dense& tensor, int bits);

}  // namespace ornix::ops::detail
