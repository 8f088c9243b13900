#include <cstring>
#include <stdexcept>

#include "matmul_kernel.h"
#include "ops_messages.h"
#include "format_text.h"
#include "ops_support.h"
#include "ornix/ops/temporal.h"

namespace ornix::ops {

namespace {

// The element count of one frame of a buffer (dimension 0 counts the frames).
size_t frame_size(const Dense& buffer, const char* op, const char* arg) {
  if (buffer.shape().size() < 2) throw std::invalid_argument(msg::op_bad_rank(op, arg, "2 to 4", buffer.shape().size()));
  return buffer.size() / buffer.shape()[0];
}

void require_frame_values(const Dense& buffer, size_t frame, const Dense& values, const char* op) {
  if (values.size() != frame) {
    throw std::invalid_argument(msg::op_shape_mismatch(op, "frame sizes of", shape_text(buffer.shape()),
                                                       shape_text(values.shape())));
  }
}

}  // namespace

void fifo_op(Dense& x, const Dense& y) {
  constexpr const char* kOp = "fifo_op";
  detail::require_type(x, TensorType::int8, kOp, "x");
  detail::require_type(y, TensorType::int8, kOp, "y");
  detail::require_row_major(x, kOp, "x");
  detail::require_row_major(y, kOp, "y");
  const size_t frame = frame_size(x, kOp, "x");
  require_frame_values(x, frame, y, kOp);
  int8_t* buffer = x.data<int8_t>();
  std::memmove(buffer, buffer + frame, x.size() - frame);
  std::memcpy(buffer + x.size() - frame, y.data<int8_t>(), frame);
}

std::shared_ptr<Dense> depthwise_like_conv(const Dense& x, const Dense& y, int n) {
  constexpr const char* kOp = "depthwise_like_conv";
  detail::require_bits(n, kOp);
  detail::require_type(x, TensorType::int32, kOp, "x");
  detail::require_type(y, TensorType::int8, kOp, "y");
  detail::require_row_major(x, kOp, "x");
  detail::require_row_major(y, kOp, "y");
  const size_t frame = frame_size(x, kOp, "x");
  const Shape& xs = x.shape();
  const uint32_t taps = xs[0];
  const uint32_t channels = xs[xs.size() - 1];
  if (y.shape().size() != 2 || y.shape()[0] != taps || y.shape()[1] != channels) {
    throw std::invalid_argument(msg::op_shape_mismatch(kOp, "buffer and weights", shape_text(xs),
                                                       shape_text(y.shape())));
  }
  const int8_t* weights = y.data<int8_t>();
  detail::require_accumulator_fits(detail::max_magnitude(x.data<int32_t>(), x.size()),
                                   detail::max_column_abs_sum(weights, taps, channels), kOp);
  auto out = detail::int32_tensor(Shape(std::span<const uint32_t>(xs.begin() + 1, xs.end())));
  int32_t* result = out->data<int32_t>();
  const int32_t* in = x.data<int32_t>();
  for (uint32_t t = 0; t < taps; ++t) {
    for (size_t i = 0; i < frame; i += channels) {
      detail::multiply_add(in + t * frame + i, weights + size_t{t} * channels, result + i, channels);
    }
  }
  detail::saturate_in_place(*out, n);
  return out;
}

std::pair<std::shared_ptr<Dense>, std::shared_ptr<Dense>> update_internal_state(const Dense& a, const Dense& b, Dense& c,
                                                                               Dense& d, const Dense& e, const Dense& f,
                                                                               int n, int m) {
  constexpr const char* kOp = "update_internal_state";
  detail::require_range(n, 0, 15, kOp, "n");
  detail::require_bits(m, kOp);
  detail::require_type(a, TensorType::int32, kOp, "a");
  detail::require_type(b, TensorType::int8, kOp, "b");
  detail::require_type(c, TensorType::int32, kOp, "c");
  detail::require_type(d, TensorType::int32, kOp, "d");
  detail::require_type(e, TensorType::int16, kOp, "e");
  detail::require_type(f, TensorType::int16, kOp, "f");
  for (const Dense* t : {&a, &b, static_cast<const Dense*>(&c), static_cast<const Dense*>(&d)}) {
    detail::require_row_major(*t, kOp, "every tensor");
  }
  if (b.shape().size() != 2 || a.shape().empty() || a.shape()[a.shape().size() - 1] != b.shape()[0]) {
    throw std::invalid_argument(msg::op_shape_mismatch(kOp, "input and projection", shape_text(a.shape()),
                                                       shape_text(b.shape())));
  }
  const uint32_t inputs = b.shape()[0];
  const uint32_t states = b.shape()[1];
  const size_t positions = a.size() / inputs;
  if (!(c.shape() == d.shape()) || c.size() != positions * states || e.size() != states || f.size() != states) {
    throw std::invalid_argument(msg::op_shape_mismatch(kOp, "states and decays", shape_text(c.shape()),
                                                       shape_text(e.shape())));
  }
  const int8_t* projection = b.data<int8_t>();
  detail::require_accumulator_fits(detail::max_magnitude(a.data<int32_t>(), a.size()),
                                   detail::max_column_abs_sum(projection, inputs, states), kOp);
  std::vector<int32_t> drive(positions * states);
  detail::matmul_rows(a.data<int32_t>(), projection, drive.data(), positions, inputs, states);
  const detail::Range range = detail::signed_range(m);
  int32_t* real = c.data<int32_t>();
  int32_t* imaginary = d.data<int32_t>();
  const int16_t* decay_real = e.data<int16_t>();
  const int16_t* decay_imaginary = f.data<int16_t>();
  for (size_t p = 0; p < positions; ++p) {
    for (uint32_t s = 0; s < states; ++s) {
      const size_t i = p * states + s;
      const int64_t re = real[i], im = imaginary[i];
      const int64_t next_re = detail::shift_round(decay_real[s] * re - decay_imaginary[s] * im, -n) + drive[i];
      const int64_t next_im = detail::shift_round(decay_imaginary[s] * re + decay_real[s] * im, -n);
      real[i] = detail::clamp_to(next_re, range);
      imaginary[i] = detail::clamp_to(next_im, range);
    }
  }
  return {Dense::copy(c.buffer(), c.byte_size(), TensorType::int32, c.shape()),
          Dense::copy(d.buffer(), d.byte_size(), TensorType::int32, d.shape())};
}

std::shared_ptr<Dense> subsampling(const Dense& x, uint8_t k) {
  constexpr const char* kOp = "subsampling";
  detail::require_type(x, TensorType::int32, kOp, "x");
  detail::require_row_major(x, kOp, "x");
  detail::require_range(k, 1, UINT8_MAX, kOp, "k");
  if (x.shape().empty()) throw std::invalid_argument(msg::op_bad_rank(kOp, "x", "1 to 4", 0));
  std::vector<uint32_t> dims(x.shape().begin(), x.shape().end());
  const uint32_t frames = dims[0];
  const size_t frame = x.size() / frames;
  dims[0] = (frames + k - 1) / k;
  auto out = detail::int32_tensor(Shape(std::span<const uint32_t>(dims)));
  for (uint32_t t = 0; t < dims[0]; ++t) {
    std::memcpy(out->data<int32_t>() + t * frame, x.data<int32_t>() + size_t{t} * k * frame, frame * sizeof(int32_t));
  }
  return out;
}

void upshape(Dense& x, uint8_t k) {
  detail::require_type(x, TensorType::int32, "upshape", "x");
  int32_t* values = x.data<int32_t>();
  for (size_t i = 0; i < x.size(); ++i) values[i] = detail::clamp_to(detail::shift_round(values[i], k), detail::signed_range(32));
}

void downshape(Dense& x, uint8_t k) {
  detail::require_type(x, TensorType::int32, "downshape", "x");
  int32_t* values = x.data<int32_t>();
  for (size_t i = 0; i < x.size(); ++i) values[i] = static_cast<int32_t>(detail::shift_round(values[i], -int{k}));
}

}  // namespace ornix::ops
