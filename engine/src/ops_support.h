#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "ornix/tensor.h"

// Checks and integer steps shared by the software operations (ornix/ops/ops.h states the
// arithmetic they implement).

namespace ornix::ops::detail {

// std::invalid_argument unless `tensor` is of `type`.
void require_type(const Dense& tensor, TensorType type, const char* op, const char* arg);
// std::invalid_argument unless `tensor` is row-major (every operand is read in storage order).
void require_row_major(const Dense& tensor, const char* op, const char* arg);
// A bit width of 1 to 32; std::invalid_argument otherwise.
void require_bits(int bits, const char* op);
// std::invalid_argument unless `min` <= `value` <= `max`.
void require_range(int64_t value, int64_t min, int64_t max, const char* op, const char* arg);

// The number of values of `per_channel` when they cover trailing dimensions of `shape` (1 value:
// all elements; the last dimension's size: one per channel; and so on). A value applies to the
// elements whose flat index has that remainder. std::invalid_argument for any other count.
size_t trailing_period(const Shape& shape, const Dense& per_channel, const char* op, const char* arg);

// The signed two's-complement range of `bits` bits, or the unsigned range [0, 2^bits - 1].
struct Range {
  int64_t min;
  int64_t max;
};
Range signed_range(int bits);
Range unsigned_range(int bits);

inline int32_t clamp_to(int64_t value, Range range) {
  return static_cast<int32_t>(value < range.min ? range.min : value > range.max ? range.max : value);
}

// value x 2^shift: exact for shift >= 0 (saturating far beyond the int32 range), and rounded
// half up (toward +infinity) for shift < 0: (value + 2^(-shift-1)) >> -shift. |value| < 2^48.
int64_t shift_round(int64_t value, int shift);

// sum / count rounded half up, count > 0.
int64_t divide_round(int64_t sum, int64_t count);

// A new int32 tensor of `shape`.
std::shared_ptr<Dense> int32_tensor(const Shape& shape);

// The largest magnitude in an int32 buffer.
int64_t max_magnitude(const int32_t* values, size_t count);

// std::invalid_argument when max_input x weight_sum could leave the int32 range.
void require_accumulator_fits(int64_t max_input, int64_t weight_sum, const char* op);

}  // namespace ornix::ops::detail
