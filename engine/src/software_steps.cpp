#include "software_steps.h"

#include <cstring>
#include <optional>
#include <stdexcept>

#include "layer_build.h"
#include "ops_support.h"
#include "ornix/ops/ops.h"
#include "pooled_conv_build.h"
#include "software_messages.h"
#include "software_stages.h"

// How each layer class runs in software, composed from the operations of ornix/ops. Between
// layers values are int32 images (width, height, channels); see software_stages.h for the
// output stages every class shares.

namespace ornix::software {

namespace {

using enum LayerType;

bool is_v1(const LayerImpl& layer) { return layer.ip_version() == IpVersion::v1; }

std::unique_ptr<OutputStage> output_stage(const LayerImpl& layer, uint32_t channels) {
  if (is_v1(layer)) return std::make_unique<V1Output>(layer);
  return std::make_unique<V2Output>(layer, channels);
}

// Kernel, strides and padding of a convolution layer.
struct ConvWindow {
  int32_t kernel_x, kernel_y, stride_x, stride_y;
  Padding padding;
};

ConvWindow conv_window(const LayerImpl& layer, const ConvKeys& keys) {
  const ParamReader params(layer);
  return {params.get(keys.kernel_x, 1, kParamMax), params.get(keys.kernel_y, 1, kParamMax),
          params.get(keys.stride_x, 1, kParamMax), params.get(keys.stride_y, 1, kParamMax),
          static_cast<Padding>(params.get("padding", 0, 1))};
}

class InputStep final : public SoftwareStep {
 public:
  std::shared_ptr<Dense> run(const std::vector<std::shared_ptr<Dense>>& inputs) override { return inputs.at(0); }
};

// Conv2D, DepthwiseConv2D, Convolutional, InputConvolutional and SeparableConvolutional: input
// shift, convolution (and for the separable form its pointwise matrix), output stage, pooling.
class ConvStep final : public SoftwareStep {
 public:
  explicit ConvStep(const LayerImpl& layer)
      : keys_(is_v1(layer) ? kV1ConvKeys : kV2ConvKeys),
        window_(conv_window(layer, keys_)),
        shift_(layer),
        pooling_(layer, keys_) {
    const auto& variables = layer.variables();
    const LayerType type = layer.params()->layer_type();
    depthwise_ = type == DepthwiseConv2D || type == SeparableConvolutional;
    if (type == Convolutional) {
      weights_ = permuted_int8(*variables.get("weights"), {3, 2, 1, 0});  // (F, C, ky, kx)
    } else if (type == InputConvolutional) {
      weights_ = permuted_int8(*variables.get("weights"), {1, 0, 2, 3});  // (ky, kx, C, F)
    } else if (type == SeparableConvolutional) {
      weights_ = permuted_int8(*variables.get("weights"), {3, 2, 0, 1});  // (1, C, ky, kx)
      const auto pointwise = variables.get("weights_pw");  // (channels, filters)
      pointwise_.emplace(pointwise, pointwise->shape()[0], pointwise->shape()[1]);
    } else {
      weights_ = permuted_int8(*variables.get("weights"), {0, 1, 2, 3});
    }
    output_ = output_stage(layer, layer.output_dimensions()[2]);
  }

  std::shared_ptr<Dense> run(const std::vector<std::shared_ptr<Dense>>& inputs) override {
    const auto x = shift_.apply(inputs.at(0));
    const ImagePatches p(window_.kernel_x, window_.kernel_y, window_.stride_x, window_.stride_y, window_.padding,
                         x->shape());
    std::shared_ptr<Dense> acc;
    if (!depthwise_) {
      acc = ops::conv2d_v2(*x, p.stride_x, p.stride_y, p.pad_top, p.pad_left, p.out_width, p.out_height, *weights_, 32);
    } else {
      acc = ops::depthwise_conv2d(*x, p.stride_x, p.stride_y, p.pad_top, p.pad_left, p.out_width, p.out_height,
                                  *weights_);
    }
    if (pointwise_) acc = pointwise_->times(*acc);
    return pooling_.apply(output_->apply(acc));
  }

 private:
  ConvKeys keys_;
  ConvWindow window_;
  InputShift shift_;
  Pooling pooling_;
  bool depthwise_ = false;
  std::shared_ptr<Dense> weights_;
  std::optional<WeightRows> pointwise_;  // separable form: (channels, filters)
  std::unique_ptr<OutputStage> output_;
};

// InputConv2D: unsigned 8-bit inputs padded with "padding_value".
class InputConv2DStep final : public SoftwareStep {
 public:
  explicit InputConv2DStep(const LayerImpl& layer)
      : window_(conv_window(layer, kV2ConvKeys)),
        pad_values_(to_uint8(*layer.variables().get("padding_value"))),
        filters_(ops::linearize_filters(*permuted_int8(*layer.variables().get("weights"), {0, 1, 2, 3}))),
        pooling_(layer, kV2ConvKeys),
        output_(layer, layer.output_dimensions()[2]) {}

  std::shared_ptr<Dense> run(const std::vector<std::shared_ptr<Dense>>& inputs) override {
    const Dense& x = *inputs.at(0);
    auto pixels = Dense::create(TensorType::uint8, x.shape());
    const int32_t* values = x.data<int32_t>();
    for (size_t i = 0; i < x.size(); ++i) {
      if (values[i] < 0 || values[i] > UINT8_MAX) throw std::invalid_argument(msg::kSoftwareInputNotUnsigned);
      pixels->data<uint8_t>()[i] = static_cast<uint8_t>(values[i]);
    }
    const ImagePatches p(window_.kernel_x, window_.kernel_y, window_.stride_x, window_.stride_y, window_.padding,
                         x.shape());
    auto acc = ops::input_conv2d(*pixels, *pad_values_, p.stride_x, p.stride_y, p.pad_left, p.pad_right, p.pad_top,
                                 p.pad_bottom, p.out_width, p.out_height, window_.kernel_x, window_.kernel_y, *filters_);
    return pooling_.apply(output_.apply(acc));
  }

 private:
  ConvWindow window_;
  std::shared_ptr<Dense> pad_values_;
  std::shared_ptr<Dense> filters_;
  Pooling pooling_;
  V2Output output_;
};

// Conv2DTranspose and DepthwiseConv2DTranspose; the depthwise form runs as a transposed
// convolution whose filter c reads only channel c.
class TransposedStep final : public SoftwareStep {
 public:
  explicit TransposedStep(const LayerImpl& layer)
      : shift_(layer), output_(layer, layer.output_dimensions()[2]) {
    const ParamReader params(layer);
    stride_ = static_cast<uint8_t>(params.get("kernel_stride", 1, UINT8_MAX));
    weights_ = permuted_int8(*layer.variables().get("weights"), {0, 1, 2, 3});
    if (layer.params()->layer_type() == DepthwiseConv2DTranspose) weights_ = block_diagonal(*weights_);
  }

  std::shared_ptr<Dense> run(const std::vector<std::shared_ptr<Dense>>& inputs) override {
    const auto x = shift_.apply(inputs.at(0));
    const Shape& kernel = weights_->shape();
    const int32_t pad_x = std::max<int32_t>(static_cast<int32_t>(kernel[0]) - stride_, 0) / 2;
    const int32_t pad_y = std::max<int32_t>(static_cast<int32_t>(kernel[1]) - stride_, 0) / 2;
    auto acc = ops::conv2d_transpose(*x, *weights_, stride_, pad_x, pad_y, x->shape()[0] * stride_,
                                     x->shape()[1] * stride_);
    return output_.apply(acc);
  }

 private:
  // (K, K, 1, C) as (K, K, C, C) with w'[a, b, c, c] = w[a, b, 0, c] and zeros elsewhere.
  static std::shared_ptr<Dense> block_diagonal(const Dense& w) {
    const Shape& s = w.shape();
    const uint32_t channels = s[3];
    auto out = Dense::create(TensorType::int8, Shape{s[0], s[1], channels, channels});
    int8_t* data = out->data<int8_t>();
    for (size_t tap = 0; tap < size_t{s[0]} * s[1]; ++tap) {
      for (uint32_t c = 0; c < channels; ++c) {
        data[(tap * channels + c) * channels + c] = w.data<int8_t>()[tap * channels + c];
      }
    }
    return out;
  }

  uint8_t stride_ = 2;
  InputShift shift_;
  std::shared_ptr<Dense> weights_;
  V2Output output_;
};

// FullyConnected and Dense1D: the flattened input times the (inputs, neurons) weights.
class DenseStep final : public SoftwareStep {
 public:
  explicit DenseStep(const LayerImpl& layer)
      : shift_(layer), output_(output_stage(layer, layer.output_dimensions()[2])), weights_(rows_of(layer)) {}

  std::shared_ptr<Dense> run(const std::vector<std::shared_ptr<Dense>>& inputs) override {
    const Dense& x = *inputs.at(0);
    const auto flat = shift_.apply(reshaped(x, Shape{1, static_cast<uint32_t>(x.size())}));
    const auto acc = weights_.times(*flat);
    return output_->apply(reshaped(*acc, Shape{1, 1, weights_.columns()}));
  }

 private:
  // FullyConnected weights are (neurons, inputs) with dimension 0 contiguous: the same memory
  // as row-major (inputs, neurons), which is how Dense1D stores them.
  static WeightRows rows_of(const LayerImpl& layer) {
    const auto weights = layer.variables().get("weights");
    const Shape& s = weights->shape();
    return weights->layout() == Layout::Reversed ? WeightRows(weights, s[1], s[0]) : WeightRows(weights, s[0], s[1]);
  }

  InputShift shift_;
  std::unique_ptr<OutputStage> output_;
  WeightRows weights_;
};

// Add: the first input shifted by "a_shift", the others by "b_shift", summed, shifted by
// "output_shift", limited to [0, ...] with an activation, saturated to the output bits.
class AddStep final : public SoftwareStep {
 public:
  explicit AddStep(const LayerImpl& layer) : layer_(layer) {
    const auto& variables = layer.variables();
    a_shift_ = to_uint8(*variables.get("a_shift"));
    b_shift_ = to_uint8(*variables.get("b_shift"));
    output_shift_ = to_int8(*variables.get("output_shift"));
  }

  std::shared_ptr<Dense> run(const std::vector<std::shared_ptr<Dense>>& inputs) override {
    auto sum = ops::lshift(*inputs.at(0), *a_shift_, 32);
    for (size_t i = 1; i < inputs.size(); ++i) sum = ops::add(*sum, *ops::lshift(*inputs[i], *b_shift_, 32), 32);
    const int bits = layer_.output_bits();
    if (layer_.has_activation() || !layer_.output_signed()) return ops::shift_out(*sum, *output_shift_, bits);
    return ops::shift(*sum, *output_shift_, bits);
  }

 private:
  const LayerImpl& layer_;
  std::shared_ptr<Dense> a_shift_, b_shift_, output_shift_;
};

class ConcatenateStep final : public SoftwareStep {
 public:
  explicit ConcatenateStep(const LayerImpl& layer) : layer_(layer) {}
  std::shared_ptr<Dense> run(const std::vector<std::shared_ptr<Dense>>& inputs) override {
    return saturate_to_output(layer_, ops::concatenate_last_dim(inputs));
  }

 private:
  const LayerImpl& layer_;
};

// ExtractToken: the first token (column 0, row 0) with all its channels.
class ExtractTokenStep final : public SoftwareStep {
 public:
  explicit ExtractTokenStep(const LayerImpl& layer) : layer_(layer) {}
  std::shared_ptr<Dense> run(const std::vector<std::shared_ptr<Dense>>& inputs) override {
    const Dense& x = *inputs.at(0);
    return saturate_to_output(layer_, ops::extract_token(x, 0, 0, x.shape()[2]));
  }

 private:
  const LayerImpl& layer_;
};

// Dequantizer: each value times its channel's "scales" entry.
class DequantizerStep final : public SoftwareStep {
 public:
  explicit DequantizerStep(const LayerImpl& layer) : scales_(layer.variables().get("scales")) {}
  std::shared_ptr<Dense> run(const std::vector<std::shared_ptr<Dense>>& inputs) override {
    return ops::dequantize(*inputs.at(0), *scales_);
  }

 private:
  std::shared_ptr<const Dense> scales_;  // one per channel
};

// BufferTempConv: per position, the last fifo_size frames' channels (oldest first, zeros before
// the first samples) times the (fifo_size x channels, filters) weights.
class BufferTempConvStep final : public SoftwareStep {
 public:
  explicit BufferTempConvStep(const LayerImpl& layer)
      : shift_(layer), output_(layer, layer.output_dimensions()[2]) {
    const auto weights = layer.variables().get("weights");  // (1, 1, fifo_size x channels, filters)
    weights_.emplace(weights, weights->shape()[2], weights->shape()[3]);
    const Shape input = layer.input_dimensions().at(0);
    history_ = ops::detail::int32_tensor(Shape{input[0] * input[1], weights->shape()[2]});
  }

  std::shared_ptr<Dense> run(const std::vector<std::shared_ptr<Dense>>& inputs) override {
    const auto x = shift_.apply(inputs.at(0));
    const uint32_t channels = x->shape()[2];
    const uint32_t row = history_->shape()[1];
    int32_t* history = history_->data<int32_t>();
    for (uint32_t p = 0; p < history_->shape()[0]; ++p) {
      int32_t* frames = history + size_t{p} * row;
      std::memmove(frames, frames + channels, (row - channels) * sizeof(int32_t));
      std::memcpy(frames + row - channels, x->data<int32_t>() + size_t{p} * channels, channels * sizeof(int32_t));
    }
    const auto acc = weights_->times(*history_);
    return output_.apply(reshaped(*acc, Shape{x->shape()[0], x->shape()[1], weights_->columns()}));
  }

 private:
  InputShift shift_;
  V2Output output_;
  std::optional<WeightRows> weights_;
  std::shared_ptr<Dense> history_;  // (positions, fifo_size x channels)
};

// DepthwiseBufferTempConv: each channel's last fifo_size values times its own taps.
class DepthwiseBufferTempConvStep final : public SoftwareStep {
 public:
  explicit DepthwiseBufferTempConvStep(const LayerImpl& layer)
      : shift_(layer), output_(layer, layer.output_dimensions()[2]) {
    const Dense& weights = *layer.variables().get("weights");
    const uint32_t taps = weights.shape()[2];
    taps_ = to_int8(weights, Shape{taps, weights.shape()[3]});
    const Shape input = layer.input_dimensions().at(0);
    frames_ = ops::detail::int32_tensor(Shape{taps, input[0], input[1], input[2]});
  }

  std::shared_ptr<Dense> run(const std::vector<std::shared_ptr<Dense>>& inputs) override {
    const auto x = shift_.apply(inputs.at(0));
    int32_t* frames = frames_->data<int32_t>();
    const size_t frame = x->size();
    std::memmove(frames, frames + frame, (frames_->size() - frame) * sizeof(int32_t));
    std::memcpy(frames + frames_->size() - frame, x->data<int32_t>(), frame * sizeof(int32_t));
    return output_.apply(ops::depthwise_like_conv(*frames_, *taps_, 32));
  }

 private:
  InputShift shift_;
  V2Output output_;
  std::shared_ptr<Dense> taps_;
  std::shared_ptr<Dense> frames_;  // (fifo_size, width, height, channels), oldest first
};

}  // namespace

std::unique_ptr<SoftwareStep> make_software_step(const LayerImpl& layer) {
  switch (layer.params()->layer_type()) {
    case InputData:
      return std::make_unique<InputStep>();
    case InputConvolutional:
    case Convolutional:
    case SeparableConvolutional:
    case Conv2D:
    case DepthwiseConv2D:
      return std::make_unique<ConvStep>(layer);
    case InputConv2D:
      return std::make_unique<InputConv2DStep>(layer);
    case Conv2DTranspose:
    case DepthwiseConv2DTranspose:
      return std::make_unique<TransposedStep>(layer);
    case FullyConnected:
    case Dense1D:
      return std::make_unique<DenseStep>(layer);
    case Add:
      return std::make_unique<AddStep>(layer);
    case Concatenate:
      return std::make_unique<ConcatenateStep>(layer);
    case ExtractToken:
      return std::make_unique<ExtractTokenStep>(layer);
    case Dequantizer:
      return std::make_unique<DequantizerStep>(layer);
    case BufferTempConv:
      return std::make_unique<BufferTempConvStep>(layer);
    case DepthwiseBufferTempConv:
      return std::make_unique<DepthwiseBufferTempConvStep>(layer);
    default:
      throw std::runtime_error(msg::kSoftwareUnsupported);
  }
}

}  // namespace ornix::software
