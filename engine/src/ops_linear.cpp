#include <cstring>
#include <stdexcept>

#include "matmul_kernel.h"
#include "ops_messages.h"
#include "format_text.h"
#include "ops_support.h"
#include "ornix/ops/linear.h"

namespace ornix::ops {

std::shared_ptr<Dense> matmul(const Dense& x, const Dense& y, int n, bool transposed_y) {
  constexpr const char* kOp = "matmul";
  detail::require_bits(n, kOp);
  detail::require_type(x, TensorType::int32, kOp, "x");
  detail::require_type(y, TensorType::int32, kOp, "y");
  detail::require_row_major(x, kOp, "x");
  detail::require_row_major(y, kOp, "y");
  if (y.shape().size() != 2) throw std::invalid_argument(msg::op_bad_rank(kOp, "y", "2", y.shape().size()));
  const uint32_t depth = transposed_y ? y.shape()[1] : y.shape()[0];
  const uint32_t columns = transposed_y ? y.shape()[0] : y.shape()[1];
  const Shape& xs = x.shape();
  if (xs.empty() || xs[xs.size() - 1] != depth) {
    throw std::invalid_argument(msg::op_shape_mismatch(kOp, "inner dimensions of", shape_text(xs),
                                                       shape_text(y.shape())));
  }
  // y as (depth, columns) rows, whatever its given form.
  const int32_t* weights = y.data<int32_t>();
  std::vector<int32_t> transposed;
  if (transposed_y) {
    transposed.resize(y.size());
    for (uint32_t k = 0; k < depth; ++k) {
      for (uint32_t j = 0; j < columns; ++j) transposed[size_t{k} * columns + j] = weights[size_t{j} * depth + k];
    }
    weights = transposed.data();
  }
  std::vector<uint32_t> dims(xs.begin(), xs.end());
  dims.back() = columns;
  auto out = detail::int32_tensor(Shape(std::span<const uint32_t>(dims)));
  const size_t rows = x.size() / depth;
  detail::require_accumulator_fits(detail::max_magnitude(x.data<int32_t>(), x.size()),
                                   detail::max_column_abs_sum(weights, depth, columns), kOp);
  detail::matmul_rows(x.data<int32_t>(), weights, out->data<int32_t>(), rows, depth, columns);
  detail::saturate_in_place(*out, n);
  return out;
}

std::shared_ptr<Dense> concatenate_last_dim(const std::vector<std::shared_ptr<Dense>>& tensors) {
  constexpr const char* kOp = "concatenate_last_dim";
  if (tensors.empty()) throw std::invalid_argument(msg::op_no_inputs(kOp));
  for (const auto& tensor : tensors) {
    if (!tensor) throw std::invalid_argument(msg::op_null_tensor(kOp));
    detail::require_row_major(*tensor, kOp, "every tensor");
  }
  const Dense& first = *tensors.front();
  const Shape& fs = first.shape();
  if (fs.empty()) throw std::invalid_argument(msg::op_bad_rank(kOp, "every tensor", "1 to 4", 0));
  uint64_t last = 0;
  for (const auto& tensor : tensors) {
    const Shape& s = tensor->shape();
    bool same = tensor->type() == first.type() && s.size() == fs.size();
    for (size_t d = 0; same && d + 1 < fs.size(); ++d) same = s[d] == fs[d];
    if (!same) {
      throw std::invalid_argument(msg::op_shape_mismatch(kOp, "tensors", shape_text(fs), shape_text(s)));
    }
    last += s[s.size() - 1];
  }
  std::vector<uint32_t> dims(fs.begin(), fs.end());
  detail::require_range(static_cast<int64_t>(last), 1, Shape::kMaxElements, kOp, "the joined dimension");
  dims.back() = static_cast<uint32_t>(last);
  auto out = Dense::create(first.type(), Shape(std::span<const uint32_t>(dims)));
  const size_t element = tensor_element_size(first.type());
  const size_t rows = first.size() / fs[fs.size() - 1];
  uint8_t* target = out->buffer();
  for (size_t row = 0; row < rows; ++row) {
    for (const auto& tensor : tensors) {
      const size_t bytes = size_t{tensor->shape()[fs.size() - 1]} * element;
      std::memcpy(target, tensor->buffer() + row * bytes, bytes);
      target += bytes;
    }
  }
  return out;
}

std::shared_ptr<Dense> extract_token(const Dense& x, int32_t a, int32_t b, uint32_t channels) {
  constexpr const char* kOp = "extract_token";
  detail::require_type(x, TensorType::int32, kOp, "x");
  detail::require_row_major(x, kOp, "x");
  const Shape& xs = x.shape();
  if (xs.size() != 3 && xs.size() != 4) throw std::invalid_argument(msg::op_bad_rank(kOp, "x", "3 or 4", xs.size()));
  const size_t first = xs.size() - 3;
  const int64_t width = xs[first], height = xs[first + 1], depth = xs[first + 2];
  const int64_t column = a < 0 ? width + a : a;
  const int64_t row = b < 0 ? height + b : b;
  detail::require_range(column, 0, width - 1, kOp, "a");
  detail::require_range(row, 0, height - 1, kOp, "b");
  detail::require_range(channels, 1, depth, kOp, "the channel count");
  const uint32_t frames = first == 1 ? xs[0] : 1;
  auto out = detail::int32_tensor(first == 1 ? Shape{frames, 1, 1, channels} : Shape{1, 1, channels});
  const int32_t* in = x.data<int32_t>();
  int32_t* result = out->data<int32_t>();
  for (uint32_t frame = 0; frame < frames; ++frame) {
    const int32_t* token = in + ((frame * width + column) * height + row) * depth;
    std::memcpy(result + size_t{frame} * channels, token, channels * sizeof(int32_t));
  }
  return out;
}

}  // namespace ornix::ops
