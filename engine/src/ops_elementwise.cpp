#include <algorithm>
#include <stdexcept>

#include "ops_messages.h"
#include "format_text.h"
#include "ops_support.h"
#include "ornix/ops/elementwise.h"

namespace ornix::ops {

namespace {

using detail::Range;

// out[i] = clamp(step(x[i], channel value), range) over the channel values of `y`.
template <typename Channel, typename Step>
std::shared_ptr<Dense> per_channel(const char* op, const Dense& x, const Dense& y, TensorType y_type, Range range,
                                   Step step) {
  detail::require_type(x, TensorType::int32, op, "x");
  detail::require_type(y, y_type, op, "y");
  detail::require_row_major(x, op, "x");
  const size_t period = detail::trailing_period(x.shape(), y, op, "y");
  auto out = detail::int32_tensor(x.shape());
  const int32_t* in = x.data<int32_t>();
  const Channel* channel = y.data<Channel>();
  int32_t* result = out->data<int32_t>();
  for (size_t i = 0; i < x.size(); i += period) {
    for (size_t c = 0; c < period; ++c) result[i + c] = detail::clamp_to(step(in[i + c], channel[c]), range);
  }
  return out;
}

}  // namespace

std::shared_ptr<Dense> lshift(const Dense& x, const Dense& y, int n) {
  detail::require_bits(n, "lshift");
  return per_channel<uint8_t>("lshift", x, y, TensorType::uint8, detail::signed_range(n),
                              [](int32_t v, uint8_t s) { return detail::shift_round(v, s); });
}

std::shared_ptr<Dense> shift(const Dense& x, const Dense& y, int n) {
  detail::require_bits(n, "shift");
  return per_channel<int8_t>("shift", x, y, TensorType::int8, detail::signed_range(n),
                             [](int32_t v, int8_t s) { return detail::shift_round(v, s); });
}

std::shared_ptr<Dense> shift_out(const Dense& x, const Dense& y, int n) {
  detail::require_bits(n, "shift_out");
  return per_channel<int8_t>("shift_out", x, y, TensorType::int8, detail::unsigned_range(n),
                             [](int32_t v, int8_t s) { return detail::shift_round(v, s); });
}

std::shared_ptr<Dense> add(const Dense& x, const Dense& y, int n) {
  detail::require_bits(n, "add");
  detail::require_type(x, TensorType::int32, "add", "x");
  detail::require_type(y, TensorType::int32, "add", "y");
  detail::require_row_major(x, "add", "x");
  detail::require_row_major(y, "add", "y");
  if (!(x.shape() == y.shape())) {
    throw std::invalid_argument(
        msg::op_shape_mismatch("add", "shapes", shape_text(x.shape()), shape_text(y.shape())));
  }
  auto out = detail::int32_tensor(x.shape());
  const Range range = detail::signed_range(n);
  const int32_t* a = x.data<int32_t>();
  const int32_t* b = y.data<int32_t>();
  int32_t* result = out->data<int32_t>();
  for (size_t i = 0; i < x.size(); ++i) result[i] = detail::clamp_to(int64_t{a[i]} + b[i], range);
  return out;
}

std::shared_ptr<Dense> scale_out(const Dense& x, const Dense& y, const Dense& z, int n, int m) {
  constexpr const char* kOp = "scale_out";
  detail::require_bits(n, kOp);
  detail::require_range(m, 0, 1, kOp, "m");
  detail::require_type(x, TensorType::int32, kOp, "x");
  detail::require_type(y, TensorType::uint8, kOp, "y");
  detail::require_type(z, TensorType::int8, kOp, "z");
  detail::require_row_major(x, kOp, "x");
  const size_t period = detail::trailing_period(x.shape(), y, kOp, "y");
  if (detail::trailing_period(x.shape(), z, kOp, "z") != period) {
    throw std::invalid_argument(msg::op_shape_mismatch(kOp, "channel counts of y and z", std::to_string(y.size()),
                                                       std::to_string(z.size())));
  }
  const Range range = m == 1 ? detail::signed_range(n) : detail::unsigned_range(n);
  auto out = detail::int32_tensor(x.shape());
  const int32_t* in = x.data<int32_t>();
  const uint8_t* scales = y.data<uint8_t>();
  const int8_t* shifts = z.data<int8_t>();
  int32_t* result = out->data<int32_t>();
  for (size_t i = 0; i < x.size(); i += period) {
    for (size_t c = 0; c < period; ++c) {
      result[i + c] = detail::clamp_to(detail::shift_round(int64_t{in[i + c]} * scales[c], shifts[c]), range);
    }
  }
  return out;
}

std::shared_ptr<Dense> relu_activation(const Dense& x, const Dense& y) {
  const int32_t* ceilings = y.type() == TensorType::int32 ? y.data<int32_t>() : nullptr;
  if (ceilings != nullptr && std::any_of(ceilings, ceilings + y.size(), [](int32_t v) { return v < 0; })) {
    throw std::invalid_argument(msg::op_geometry("relu_activation", "the ceilings y must be at least 0."));
  }
  return per_channel<int32_t>("relu_activation", x, y, TensorType::int32, detail::signed_range(32),
                              [](int32_t v, int32_t ceiling) { return std::clamp(v, 0, ceiling); });
}

std::shared_ptr<Dense> look_up(const Dense& x, const Dense& y) {
  constexpr const char* kOp = "look_up";
  detail::require_type(x, TensorType::int32, kOp, "x");
  detail::require_type(y, TensorType::int32, kOp, "y");
  detail::require_row_major(x, kOp, "x");
  detail::require_row_major(y, kOp, "y");
  const bool per_channel_tables = y.shape().size() == 2;
  if (y.shape().size() != 1 && !per_channel_tables) throw std::invalid_argument(msg::op_bad_rank(kOp, "y", "1 or 2", y.shape().size()));
  const size_t channels = per_channel_tables ? y.shape()[0] : 1;
  const size_t entries = y.shape()[y.shape().size() - 1];
  if (per_channel_tables && (x.shape().empty() || x.shape()[x.shape().size() - 1] != channels)) {
    throw std::invalid_argument(msg::op_shape_mismatch(kOp, "tables and input channels", shape_text(y.shape()),
                                                       shape_text(x.shape())));
  }
  auto out = detail::int32_tensor(x.shape());
  const int32_t* in = x.data<int32_t>();
  const int32_t* table = y.data<int32_t>();
  int32_t* result = out->data<int32_t>();
  const auto last = static_cast<int64_t>(entries) - 1;
  for (size_t i = 0; i < x.size(); ++i) {
    const size_t index = static_cast<size_t>(std::clamp<int64_t>(in[i], 0, last));
    result[i] = table[(i % channels) * entries + index];
  }
  return out;
}

std::shared_ptr<Dense> dequantize(const Dense& x, const Dense& y) {
  constexpr const char* kOp = "dequantize";
  detail::require_type(x, TensorType::int32, kOp, "x");
  detail::require_type(y, TensorType::float32, kOp, "y");
  detail::require_row_major(x, kOp, "x");
  const size_t period = detail::trailing_period(x.shape(), y, kOp, "y");
  auto out = Dense::create(TensorType::float32, x.shape());
  const int32_t* in = x.data<int32_t>();
  const float* scales = y.data<float>();
  float* result = out->data<float>();
  for (size_t i = 0; i < x.size(); i += period) {
    for (size_t c = 0; c < period; ++c) result[i + c] = static_cast<float>(in[i + c]) * scales[c];
  }
  return out;
}

}  // namespace ornix::ops
