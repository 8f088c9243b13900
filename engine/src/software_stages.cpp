#include "software_stages.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "layer_build.h"
#include "ops_support.h"
#include "ornix/ops/elementwise.h"
#include "ornix/ops/image_patches.h"
#include "ornix/ops/pooling.h"
#include "software_messages.h"

namespace ornix::software {

namespace {

// The values of an integer tensor in storage order of its row-major reading.
template <typename T>
std::vector<int64_t> read_as(const Dense& tensor) {
  std::vector<int64_t> values(tensor.size());
  const T* data = tensor.data<T>();
  if (tensor.layout() == Layout::RowMajor) {
    for (size_t i = 0; i < values.size(); ++i) values[i] = data[i];
    return values;
  }
  // Row-major index k of a reversed tensor: the coordinates of k, each through its stride.
  const Shape& shape = tensor.shape();
  for (size_t k = 0; k < values.size(); ++k) {
    size_t rest = k, offset = 0;
    for (size_t d = shape.size(); d-- > 0;) {
      offset += (rest % shape[d]) * tensor.strides()[d];
      rest /= shape[d];
    }
    values[k] = data[offset];
  }
  return values;
}

}  // namespace

std::vector<int64_t> integer_values(const Dense& tensor) {
  switch (tensor.type()) {
    case TensorType::int32:
      return read_as<int32_t>(tensor);
    case TensorType::int16:
      return read_as<int16_t>(tensor);
    case TensorType::uint8:
    case TensorType::uint4:
    case TensorType::uint2:
      return read_as<uint8_t>(tensor);
    case TensorType::int8:
    case TensorType::int4:
    case TensorType::int2:
    case TensorType::bit:
      return read_as<int8_t>(tensor);
    default:
      throw std::runtime_error(msg::software_value_out_of_range(tensor_type_name(tensor.type())));
  }
}

namespace {

template <typename T>
std::shared_ptr<Dense> converted(const Dense& tensor, const Shape& shape, TensorType type) {
  const std::vector<int64_t> values = integer_values(tensor);
  auto out = Dense::create(type, shape.empty() ? tensor.shape() : shape);
  if (out->size() != values.size()) throw std::runtime_error(msg::software_value_out_of_range("a reshaped tensor"));
  T* data = out->data<T>();
  for (size_t i = 0; i < values.size(); ++i) {
    if (values[i] < std::numeric_limits<T>::min() || values[i] > std::numeric_limits<T>::max()) {
      throw std::runtime_error(msg::software_value_out_of_range(tensor_type_name(type)));
    }
    data[i] = static_cast<T>(values[i]);
  }
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
  const std::vector<int64_t> values = integer_values(weights);
  const Shape shape{source[source_dims[0]], source[source_dims[1]], source[source_dims[2]], source[source_dims[3]]};
  std::array<size_t, 4> source_stride{};
  for (size_t d = 4, stride = 1; d-- > 0; stride *= source[d]) source_stride[d] = stride;
  auto out = Dense::create(TensorType::int8, shape);
  int8_t* data = out->data<int8_t>();
  size_t k = 0;
  for (uint32_t a = 0; a < shape[0]; ++a) {
    for (uint32_t b = 0; b < shape[1]; ++b) {
      for (uint32_t c = 0; c < shape[2]; ++c) {
        for (uint32_t d = 0; d < shape[3]; ++d) {
          const size_t index = a * source_stride[source_dims[0]] + b * source_stride[source_dims[1]] +
                               c * source_stride[source_dims[2]] + d * source_stride[source_dims[3]];
          if (values[index] < INT8_MIN || values[index] > INT8_MAX) {
            throw std::runtime_error(msg::software_value_out_of_range("weights"));
          }
          data[k++] = static_cast<int8_t>(values[index]);
        }
      }
    }
  }
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
  // Windowed average of the input elements each window covers.
  const Shape& s = x->shape();
  const uint32_t channels = s[2];
  auto out = ops::detail::int32_tensor(Shape{p.out_width, p.out_height, channels});
  const int32_t* in = x->data<int32_t>();
  int32_t* result = out->data<int32_t>();
  std::vector<int64_t> sums(channels);
  for (uint32_t ox = 0; ox < p.out_width; ++ox) {
    for (uint32_t oy = 0; oy < p.out_height; ++oy) {
      std::fill(sums.begin(), sums.end(), 0);
      int64_t count = 0;
      for (int64_t kx = 0; kx < size_x_; ++kx) {
        const int64_t ix = int64_t{ox} * stride_x_ - p.pad_left + kx;
        for (int64_t ky = 0; ky < size_y_; ++ky) {
          const int64_t iy = int64_t{oy} * stride_y_ - p.pad_top + ky;
          if (ix < 0 || ix >= s[0] || iy < 0 || iy >= s[1]) continue;
          ++count;
          for (uint32_t c = 0; c < channels; ++c) sums[c] += in[(ix * s[1] + iy) * channels + c];
        }
      }
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
