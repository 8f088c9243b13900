#include "ops_support.h"

#include <cstdlib>
#include <limits>
#include <stdexcept>

#include "format_text.h"
#include "ops_messages.h"

namespace ornix::ops::detail {

void require_type(const Dense& tensor, TensorType type, const char* op, const char* arg) {
  if (tensor.type() != type) {
    throw std::invalid_argument(msg::op_wrong_type(op, arg, tensor_type_name(type), tensor_type_name(tensor.type())));
  }
}

void require_row_major(const Dense& tensor, const char* op, const char* arg) {
  if (tensor.layout() != Layout::RowMajor) {
    throw std::invalid_argument(msg::op_geometry(op, std::string(arg) + " must be in row-major layout."));
  }
}

void require_bits(int bits, const char* op) {
  if (bits < 1 || bits > 32) throw std::invalid_argument(msg::op_bad_bits(op, bits));
}

void require_range(int64_t value, int64_t min, int64_t max, const char* op, const char* arg) {
  if (value < min || value > max) throw std::invalid_argument(msg::op_out_of_range(op, arg, value, min, max));
}

size_t trailing_period(const Shape& shape, const Dense& per_channel, const char* op, const char* arg) {
  const size_t count = per_channel.size();
  size_t covered = 1;
  if (count == covered) return count;
  for (size_t d = shape.size(); d-- > 0;) {
    covered *= shape[d];
    if (count == covered) return count;
  }
  throw std::invalid_argument(msg::op_per_channel(op, arg, count, shape_text(shape)));
}

Range signed_range(int bits) { return {-(int64_t{1} << (bits - 1)), (int64_t{1} << (bits - 1)) - 1}; }
Range unsigned_range(int bits) { return {0, (int64_t{1} << bits) - 1}; }

int64_t shift_round(int64_t value, int shift) {
  constexpr int64_t kHuge = int64_t{1} << 60;  // far outside every saturation range
  if (shift >= 0) {
    if (value == 0) return 0;
    if (shift >= 60 || std::llabs(value) >= (kHuge >> shift)) return value < 0 ? -kHuge : kHuge;
    return value * (int64_t{1} << shift);
  }
  const int right = -shift;
  if (right >= 60) return 0;  // |value| < 2^48: the rounded quotient is 0
  return (value + (int64_t{1} << (right - 1))) >> right;
}

int64_t divide_round(int64_t sum, int64_t count) {
  const int64_t numerator = 2 * sum + count;
  const int64_t denominator = 2 * count;
  const int64_t quotient = numerator / denominator;
  return (numerator % denominator != 0 && numerator < 0) ? quotient - 1 : quotient;  // floor
}

std::shared_ptr<Dense> int32_tensor(const Shape& shape) { return Dense::create(TensorType::int32, shape); }

int64_t max_magnitude(const int32_t* values, size_t count) {
  int64_t largest = 0;
  for (size_t i = 0; i < count; ++i) {
    const int64_t magnitude = std::llabs(int64_t{values[i]});
    largest = magnitude > largest ? magnitude : largest;
  }
  return largest;
}

void require_accumulator_fits(int64_t max_input, int64_t weight_sum, const char* op) {
  if (weight_sum != 0 && max_input > std::numeric_limits<int32_t>::max() / weight_sum) {
    throw std::invalid_argument(msg::op_accumulator_overflow(op, max_input, weight_sum));
  }
}

}  // namespace ornix::ops::detail

#include "matmul_kernel.h"

namespace ornix::ops::detail {

void saturate_in_place(Dense& tensor, int bits) {
  if (bits == 32) return;
  const Range range = signed_range(bits);
  int32_t* values = tensor.data<int32_t>();
  for (size_t i = 0; i < tensor.size(); ++i) values[i] = clamp_to(values[i], range);
}

}  // namespace ornix::ops::detail
