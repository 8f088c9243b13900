#include "software_stages.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <span>
#include <stdexcept>

#include "layer_build.h"
#include "matmul_kernel.h"
#include "ops_messages.h"
#include "ops_support.h"
#include "ornix/ops/elementwise.h"
#include "ornix/ops/image_patches.h"
#include "ornix/ops/pooling.h"
#include "software_messages.h"

namespace ornix::software {

namespace {

// Calls visit(k, value) for the values of an integer tensor of storage element T, k counting
// them in the row-major order of its dimensions.
template <typename T, typename Visit>
void visit_as(const Dense& tensor, Visit&& visit) {
  const T* data = tensor.data<T>();
  if (tensor.layout() == Layout::RowMajor) {
    for (size_t k = 0; k < tensor.size(); ++k) visit(k, int64_t{data[k]});
    return;
  }
  // Row-major index k of a reversed tensor: the coordinates of k, each through its stride.
  const Shape& shape = tensor.shape();
  for (size_t k = 0; k < tensor.size(); ++k) {
    size_t rest = k, offset = 0;
    for (size_t d = shape.size(); d-- > 0;) {
      offset += (rest % shape[d]) * tensor.strides()[d];
      rest /= shape[d];
    }
    visit(k, int64_t{data[offset]});
  }
}

// visit_as for any integer tensor; std::runtime_error for a float32 one.
template <typename Visit>
void visit_values(const Dense& tensor, Visit&& visit) {
  switch (storage_type(tensor.type())) {
    case TensorType::int32:
      return visit_as<int32_t>(tensor, visit);
    case TensorType::int16:
      return visit_as<int16_t>(tensor, visit);
    case TensorType::uint8:
      return visit_as<uint8_t>(tensor, visit);
    case TensorType::int8:
      return visit_as<int8_t>(tensor, visit);
    default:
      throw std::runtime_error(msg::software_value_out_of_range(tensor_type_name(tensor.type())));
  }
}

}  // namespace

std::vector<int64_t> integer_values(const Dense& tensor) {
  std::vector<int64_t> values(tensor.size());
  visit_values(tensor, [&](size_t k, int64_t value) { values[k] = value; });
  return values;
}

namespace {

// Each value is converted as it is read: no wider copy of the tensor is made.
template <typename T>
std::shared_ptr<Dense> converted(const Dense& tensor, const Shape& shape, TensorType type) {
  auto out = Dense::create(type, shape.empty() ? tensor.shape() : shape);
  if (out->size() != tensor.size()) throw std::runtime_error(msg::software_value_out_of_range("a reshaped tensor"));
  T* data = out->data<T>();
  visit_values(tensor, [&](size_t k, int64_t value) {
    if (value < std::numeric_limits<T>::min() || value > std::numeric_limits<T>::max()) {
      throw std::runtime_error(msg::software_value_out_of_range(tensor_type_name(type)));
    }
    data[k] = static_cast<T>(value);
  });
  return out;
}

// The `count` values of an optional per-channel variable, or `count` copies of `fallback`.
std::vector<int64_t> channel_values(const Layer& layer, const char* name, uint32_t count, int64_t fallback) {
  const auto variable = optional_variable(layer, name);
  if (!variable) return std::vector<int64_t>(count, fallback);
  if (variable->size() != count) throw std::invalid_argument(msg::software_channel_count(name, variable->size(), count));
  return integer_values(*variable);
}

std::shared_ptr<Dense> tensor_of(TensorType type, const std::vector<int64_t>& values) {
  auto out = Dense::create(type, Shape{static_cast<uint32_t>(values.size())});
  for (size_t i = 0; i < values.size(); ++i) {
    switch (type) {
      case TensorType::uint8:
        out->data<uint8_t>()[i] = static_cast<uint8_t>(values[i]);
        break;
      case TensorType::int8:
        out->data<int8_t>()[i] = static_cast<int8_t>(values[i]);
        break;
      default:
        out->data<int32_t>()[i] = static_cast<int32_t>(values[i]);
    }
  }
  return out;
}

}  // namespace

std::shared_ptr<Dense> permuted_int8(const Dense& weights, const std::array<size_t, 4>& source_dims) {
  const Shape& source = weights.shape();
  if (source.size() != 4) throw std::runtime_error(msg::software_value_out_of_range("weights of rank other than 4"));
  auto values = to_int8(weights);
  if (source_dims == std::array<size_t, 4>{0, 1, 2, 3}) return values;
  const Shape shape{source[source_dims[0]], source[source_dims[1]], source[source_dims[2]], source[source_dims[3]]};
  std::array<size_t, 4> source_stride{};
  for (size_t d = 4, stride = 1; d-- > 0; stride *= source[d]) source_stride[d] = stride;
  const int8_t* in = values->data<int8_t>();
  auto out = Dense::create(TensorType::int8, shape);
  int8_t* data = out->data<int8_t>();
  size_t k = 0;
  for (uint32_t a = 0; a < shape[0]; ++a) {
    for (uint32_t b = 0; b < shape[1]; ++b) {
      for (uint32_t c = 0; c < shape[2]; ++c) {
        for (uint32_t d = 0; d < shape[3]; ++d) {
          data[k++] = in[a * source_stride[source_dims[0]] + b * source_stride[source_dims[1]] +
                         c * source_stride[source_dims[2]] + d * source_stride[source_dims[3]]];
        }
      }
    }
  }
  return out;
}

std::shared_ptr<const Dense> int8_in_memory_order(const std::shared_ptr<const Dense>& weights, const Shape& rows) {
  if (storage_type(weights->type()) == TensorType::int8) return weights;
  return to_int8(*Dense::copy(weights->buffer(), weights->byte_size(), weights->type(), rows));
}

WeightRows::WeightRows(const std::shared_ptr<const Dense>& weights, uint32_t depth, uint32_t columns)
    : values_(int8_in_memory_order(weights, Shape{depth, columns})), depth_(depth), columns_(columns) {
  column_sum_ = ops::detail::max_column_abs_sum(values_->data<int8_t>(), depth_, columns_);
}

std::shared_ptr<Dense> WeightRows::times(const Dense& x) const {
  const Shape& xs = x.shape();
  if (xs.empty() || xs[xs.size() - 1] != depth_) {
    throw std::invalid_argument(msg::software_weight_depth(xs.empty() ? 0 : xs[xs.size() - 1], depth_));
  }
  std::vector<uint32_t> dims(xs.begin(), xs.end());
  dims.back() = columns_;
  auto out = ops::detail::int32_tensor(Shape(std::span<const uint32_t>(dims)));
  const int32_t* values = x.data<int32_t>();
  ops::detail::require_accumulator_fits(ops::detail::max_magnitude(values, x.size()), column_sum_, "matmul");
  ops::detail::matmul_rows(values, values_->data<int8_t>(), out->data<int32_t>(), x.size() / depth_, depth_, columns_);
  return out;
}

std::shared_ptr<const Dense> optional_variable(const Layer& layer, const char* name) {
  return layer.variables().has(name) ? layer.variables().get(name) : nullptr;
}

std::shared_ptr<Dense> to_int32(const Dense& tensor, const Shape& shape) {
  return converted<int32_t>(tensor, shape, TensorType::int32);
}

std::shared_ptr<Dense> to_int8(const Dense& tensor, const Shape& shape) {
  return converted<int8_t>(tensor, shape, TensorType::int8);
}

std::shared_ptr<Dense> to_uint8(const Dense& tensor) { return converted<uint8_t>(tensor, {}, TensorType::uint8); }

std::shared_ptr<Dense> filled(TensorType type, uint32_t count, int32_t value) {
  return tensor_of(type, std::vector<int64_t>(count, value));
}

std::shared_ptr<Dense> reshaped(const Dense& x, const Shape& shape) {
  return Dense::copy(x.buffer(), x.byte_size(), x.type(), shape);
}

InputShift::InputShift(const Layer& layer) {
  if (const auto shifts = optional_variable(layer, "input_shift")) shifts_ = to_uint8(*shifts);
}

std::shared_ptr<Dense> InputShift::apply(std::shared_ptr<Dense> x) const {
  if (!shifts_) return x;
  if (shifts_->size() == x->size()) return ops::lshift(*x, *reshaped(*shifts_, x->shape()), 32);
  return ops::lshift(*x, *shifts_, 32);
}

V2Output::V2Output(const LayerImpl& layer, uint32_t channels) : layer_(layer) {
  if (optional_variable(layer, "bias")) {
    const std::vector<int64_t> values = channel_values(layer, "bias", channels, 0);
    const std::vector<int64_t> shifts = channel_values(layer, "bias_shift", channels, 0);
    bias_.resize(channels);
    for (size_t f = 0; f < channels; ++f) bias_[f] = ops::detail::shift_round(values[f], static_cast<int>(shifts[f]));
  }
  if (layer.activation_is(ActivationType::ReLU)) {
    std::vector<int64_t> ceilings(channels, INT32_MAX);
    if (optional_variable(layer, "max_value")) {
      const std::vector<int64_t> values = channel_values(layer, "max_value", channels, 0);
      const std::vector<int64_t> shifts = channel_values(layer, "max_value_shift", channels, 0);
      for (size_t f = 0; f < channels; ++f) {
        ceilings[f] = ops::detail::clamp_to(ops::detail::shift_round(values[f], static_cast<int>(shifts[f])),
                                            ops::detail::signed_range(32));
      }
    }
    ceilings_ = tensor_of(TensorType::int32, ceilings);
  }
  scales_ = tensor_of(TensorType::uint8, channel_values(layer, "output_scales", channels, 1));
  shifts_ = tensor_of(TensorType::int8, channel_values(layer, "output_shift", channels, 0));
  if (layer.activation_is(ActivationType::LUT)) {
    const auto lut = optional_variable(layer, "lut_values");
    lut_ = lut ? to_int32(*lut) : filled(TensorType::int32, 1, 0);
  }
}

std::shared_ptr<Dense> V2Output::apply(std::shared_ptr<Dense> acc) const {
  if (!bias_.empty()) {
    int32_t* values = acc->data<int32_t>();
    const size_t channels = bias_.size();
    for (size_t i = 0; i < acc->size(); ++i) {
      values[i] = ops::detail::clamp_to(values[i] + bias_[i % channels], ops::detail::signed_range(32));
    }
  }
  if (ceilings_) acc = ops::relu_activation(*acc, *ceilings_);
  const int bits = layer_.output_bits();
  if (lut_) {
    const auto index = ops::scale_out(*acc, *scales_, *shifts_, 32, 1);
    return saturate_to_output(layer_, ops::look_up(*index, *lut_));
  }
  return ops::scale_out(*acc, *scales_, *shifts_, bits, layer_.output_signed() ? 1 : 0);
}

V1Output::V1Output(const LayerImpl& layer) : layer_(layer) {
  if (!layer.has_activation()) return;
  const uint32_t channels = layer.output_dimensions()[2];
  thresholds_ = channel_values(layer, "threshold", channels, 0);
  const auto steps = layer.variables().get("act_step");
  if (steps->size() != channels) throw std::invalid_argument(msg::software_channel_count("act_step", steps->size(), channels));
  steps16_ = integer_values(*get_threshold_t16_from_act_steps(*steps));
}

std::shared_ptr<Dense> V1Output::apply(std::shared_ptr<Dense> potentials) const {
  if (thresholds_.empty()) return potentials;
  const int64_t top = ops::detail::unsigned_range(layer_.output_bits()).max;
  int32_t* values = potentials->data<int32_t>();
  const size_t channels = thresholds_.size();
  for (size_t i = 0; i < potentials->size(); ++i) {
    const int64_t above = values[i] - thresholds_[i % channels];
    const int64_t step = steps16_[i % channels];
    int64_t level = 0;
    if (above > 0) level = step <= 0 ? top : std::min(top, (16 * above + step - 1) / step);
    values[i] = static_cast<int32_t>(level);
  }
  return potentials;
}

namespace {

// The input positions [first, end) that a window of `size` starting at `start` covers on an
// axis of `length` positions.
struct CoveredSpan {
  int64_t first;
  int64_t end;
};

CoveredSpan covered(int64_t start, int64_t size, int64_t length) {
  return {std::max<int64_t>(start, 0), std::min<int64_t>(start + size, length)};
}

}  // namespace

Pooling::Pooling(const LayerImpl& layer, const ConvKeys& keys) {
  const ParamReader params(layer);
  type_ = static_cast<PoolType>(params.get("pool_type", 0, 2));
  if (type_ == PoolType::NoPooling) return;
  padding_ = static_cast<Padding>(params.get("padding", 0, 1));
  size_x_ = params.pool_size(keys.pool_x);
  size_y_ = size_x_ == -1 ? -1 : params.pool_size(keys.pool_y);
  global_ = size_x_ == -1 || size_y_ == -1;
  if (global_) return;
  stride_x_ = params.pool_stride(keys.pool_stride_x, size_x_);
  stride_y_ = params.pool_stride(keys.pool_stride_y, size_y_);
}

std::shared_ptr<Dense> Pooling::apply(std::shared_ptr<Dense> x) const {
  if (type_ == PoolType::NoPooling) return x;
  if (global_) {
    if (type_ == PoolType::Average) return ops::global_average_pooling(x, 32);
    const uint32_t channels = x->shape()[2];
    auto out = filled(TensorType::int32, channels, INT32_MIN);
    int32_t* best = out->data<int32_t>();
    const int32_t* in = x->data<int32_t>();
    for (size_t i = 0; i < x->size(); ++i) best[i % channels] = std::max(best[i % channels], in[i]);
    return reshaped(*out, Shape{1, 1, channels});
  }
  const ImagePatches p(size_x_, size_y_, stride_x_, stride_y_, padding_, x->shape());
  if (type_ == PoolType::Max) {
    ops::detail::require_range(size_x_, 1, UINT8_MAX, "max pooling", "the pool width");
    ops::detail::require_range(size_y_, 1, INT8_MAX, "max pooling", "the pool height");
    return ops::max_pooling(x, static_cast<uint8_t>(size_x_), static_cast<int8_t>(size_y_), false, p.out_width,
                            p.out_height, p.stride_x, p.stride_y, p.pad_left, p.pad_right, p.pad_top, p.pad_bottom, 32);
  }
  // Windowed average of the input elements each window covers. Only the part of a window that
  // lies on the input is visited, so the work is bounded by the input, whatever the pool size.
  const Shape& s = x->shape();
  const uint32_t channels = s[2];
  auto out = ops::detail::int32_tensor(Shape{p.out_width, p.out_height, channels});
  const int32_t* in = x->data<int32_t>();
  int32_t* result = out->data<int32_t>();
  std::vector<int64_t> sums(channels);
  for (uint32_t ox = 0; ox < p.out_width; ++ox) {
    const CoveredSpan cx = covered(int64_t{ox} * stride_x_ - p.pad_left, size_x_, s[0]);
    for (uint32_t oy = 0; oy < p.out_height; ++oy) {
      const CoveredSpan cy = covered(int64_t{oy} * stride_y_ - p.pad_top, size_y_, s[1]);
      std::fill(sums.begin(), sums.end(), 0);
      for (int64_t ix = cx.first; ix < cx.end; ++ix) {
        for (int64_t iy = cy.first; iy < cy.end; ++iy) {
          for (uint32_t c = 0; c < channels; ++c) sums[c] += in[(ix * s[1] + iy) * channels + c];
        }
      }
      const int64_t count = (cx.end - cx.first) * (cy.end - cy.first);
      if (count <= 0) throw std::invalid_argument(msg::op_empty_window("average pooling"));
      for (uint32_t c = 0; c < channels; ++c) *result++ = static_cast<int32_t>(ops::detail::divide_round(sums[c], count));
    }
  }
  return out;
}

std::shared_ptr<Dense> saturate_to_output(const Layer& layer, std::shared_ptr<Dense> x) {
  const int bits = layer.output_bits();
  const ops::detail::Range range =
      layer.output_signed() ? ops::detail::signed_range(bits) : ops::detail::unsigned_range(bits);
  int32_t* values = x->data<int32_t>();
  for (size_t i = 0; i < x->size(); ++i) values[i] = ops::detail::clamp_to(values[i], range);
  return x;
}

}  // namespace ornix::software
