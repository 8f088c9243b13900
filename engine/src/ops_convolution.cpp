#include <algorithm>
#include <stdexcept>
#include <vector>

#include "image_view.h"
#include "matmul_kernel.h"
#include "ops_messages.h"
#include "format_text.h"
#include "ops_support.h"
#include "ornix/ops/convolution.h"

namespace ornix::ops {

namespace {

using detail::ImageView;

// The weights (window_x, window_y, channels, filters) of a convolution over `image`.
struct Kernel {
  uint32_t window_x, window_y, channels, filters;
};

Kernel kernel_of(const Dense& w, const ImageView& image, bool depthwise, const char* op) {
  detail::require_type(w, TensorType::int8, op, "w");
  detail::require_row_major(w, op, "w");
  const Shape& s = w.shape();
  if (s.size() != 4) throw std::invalid_argument(msg::op_bad_rank(op, "w", "4", s.size()));
  const uint32_t channels = depthwise ? s[3] : s[2];
  if ((depthwise && s[2] != 1) || channels != image.channels) {
    throw std::invalid_argument(msg::op_shape_mismatch(op, "input channels of the weights and the image",
                                                       shape_text(s), std::to_string(image.channels)));
  }
  return {s[0], s[1], image.channels, depthwise ? image.channels : s[3]};
}

struct Window {
  int64_t stride_x, stride_y, pad_left, pad_top;
  uint32_t out_width, out_height;
};

// For each output position of one frame, zeroes its `outputs` accumulators, then calls
// tap(acc, pixel, t) for every input position its window covers inside the image: `pixel` holds
// that position's channels and t = kx x window_y + ky is the window position.
template <typename Tap>
void slide_frame(const int32_t* x, int32_t* out, const ImageView& in, const Kernel& k, const Window& g, size_t outputs,
                 Tap tap) {
  for (uint32_t ox = 0; ox < g.out_width; ++ox) {
    for (uint32_t oy = 0; oy < g.out_height; ++oy) {
      int32_t* acc = out + (size_t{ox} * g.out_height + oy) * outputs;
      std::fill(acc, acc + outputs, 0);
      for (uint32_t kx = 0; kx < k.window_x; ++kx) {
        const int64_t ix = ox * g.stride_x - g.pad_left + kx;
        if (ix < 0 || ix >= in.width) continue;
        for (uint32_t ky = 0; ky < k.window_y; ++ky) {
          const int64_t iy = oy * g.stride_y - g.pad_top + ky;
          if (iy < 0 || iy >= in.height) continue;
          tap(acc, x + (ix * in.height + iy) * in.channels, size_t{kx} * k.window_y + ky);
        }
      }
    }
  }
}

// Each covered input position adds its channels times their weight rows (channels, filters).
void conv_frame(const int32_t* x, const int8_t* w, int32_t* out, const ImageView& in, const Kernel& k,
                const Window& g) {
  const size_t filters = k.filters;
  slide_frame(x, out, in, k, g, filters, [&](int32_t* acc, const int32_t* pixel, size_t t) {
    const int8_t* rows = w + t * k.channels * filters;
    for (uint32_t c = 0; c < k.channels; ++c) detail::axpy(pixel[c], rows + c * filters, acc, filters);
  });
}

// Each covered input position adds each channel times that channel's own tap.
void depthwise_frame(const int32_t* x, const int8_t* w, int32_t* out, const ImageView& in, const Kernel& k,
                     const Window& g) {
  slide_frame(x, out, in, k, g, k.channels, [&](int32_t* acc, const int32_t* pixel, size_t t) {
    detail::multiply_add(pixel, w + t * k.channels, acc, k.channels);
  });
}

// Runs `frame` over every frame of x after the shared checks.
template <typename Frame>
std::shared_ptr<Dense> sliding(const char* op, const Dense& x, const Dense& w, bool depthwise, const Window& g,
                               Frame frame) {
  const ImageView in = detail::image_view(x, TensorType::int32, op, "x");
  const Kernel k = kernel_of(w, in, depthwise, op);
  detail::check_axis(op, "x", in.width, k.window_x, g.stride_x, g.pad_left, g.out_width);
  detail::check_axis(op, "y", in.height, k.window_y, g.stride_y, g.pad_top, g.out_height);
  const int8_t* weights = w.data<int8_t>();
  const size_t depth = w.size() / k.filters;
  detail::require_accumulator_fits(detail::max_magnitude(x.data<int32_t>(), x.size()),
                                   detail::max_column_abs_sum(weights, depth, k.filters), op);
  auto out = detail::int32_tensor(in.result_shape(g.out_width, g.out_height, k.filters));
  const size_t out_frame = size_t{g.out_width} * g.out_height * k.filters;
  for (uint32_t f = 0; f < in.frames; ++f) {
    frame(x.data<int32_t>() + f * in.frame_size(), weights, out->data<int32_t>() + f * out_frame, in, k, g);
  }
  return out;
}

}  // namespace

std::shared_ptr<Dense> conv2d_v2(const Dense& x, int8_t stride_x, int8_t stride_y, int32_t pad_top, int32_t pad_left,
                                 uint32_t out_width, uint32_t out_height, const Dense& w, int n) {
  detail::require_bits(n, "conv2d");
  auto out = sliding("conv2d", x, w, false, {stride_x, stride_y, pad_left, pad_top, out_width, out_height}, conv_frame);
  detail::saturate_in_place(*out, n);
  return out;
}

std::shared_ptr<Dense> depthwise_conv2d(const Dense& x, int8_t stride_x, int8_t stride_y, int32_t pad_top,
                                        int32_t pad_left, uint32_t out_width, uint32_t out_height, const Dense& w) {
  return sliding("depthwise_conv2d", x, w, true, {stride_x, stride_y, pad_left, pad_top, out_width, out_height},
                 depthwise_frame);
}

std::shared_ptr<Dense> linearize_filters(const Dense& w) {
  constexpr const char* kOp = "linearize_filters";
  detail::require_type(w, TensorType::int8, kOp, "w");
  detail::require_row_major(w, kOp, "w");
  if (w.shape().size() != 4) throw std::invalid_argument(msg::op_bad_rank(kOp, "w", "4", w.shape().size()));
  const uint32_t filters = w.shape()[3];
  const uint32_t depth = static_cast<uint32_t>(w.size() / filters);
  auto out = Dense::create(TensorType::int8, Shape{filters, depth});
  const int8_t* in = w.data<int8_t>();
  int8_t* rows = out->data<int8_t>();
  for (uint32_t k = 0; k < depth; ++k) {
    for (uint32_t f = 0; f < filters; ++f) rows[size_t{f} * depth + k] = in[size_t{k} * filters + f];
  }
  return out;
}

std::shared_ptr<Dense> input_conv2d(const Dense& x, const Dense& v, int8_t stride_x, int8_t stride_y, int32_t pad_left,
                                    int32_t pad_right, int32_t pad_top, int32_t pad_bottom, uint32_t out_width,
                                    uint32_t out_height, int32_t window_x, int32_t window_y, const Dense& lw) {
  constexpr const char* kOp = "input_conv2d";
  const ImageView in = detail::image_view(x, TensorType::uint8, kOp, "x");
  detail::require_type(v, TensorType::uint8, kOp, "v");
  detail::require_type(lw, TensorType::int8, kOp, "lw");
  detail::require_row_major(lw, kOp, "lw");
  if (v.size() != in.channels) {
    throw std::invalid_argument(msg::op_per_channel(kOp, "v", v.size(), shape_text(x.shape())));
  }
  detail::require_range(window_x, 1, INT32_MAX, kOp, "window_x");
  detail::require_range(window_y, 1, INT32_MAX, kOp, "window_y");
  const size_t depth = size_t{static_cast<uint32_t>(window_x)} * static_cast<uint32_t>(window_y) * in.channels;
  if (lw.shape().size() != 2 || lw.shape()[1] != depth) {
    throw std::invalid_argument(msg::op_shape_mismatch(kOp, "filters and window", shape_text(lw.shape()),
                                                       std::to_string(depth) + " values per filter"));
  }
  detail::check_axis(kOp, "x", in.width, window_x, stride_x, pad_left, out_width);
  detail::check_axis(kOp, "y", in.height, window_y, stride_y, pad_top, out_height);
  if (int64_t{out_width - 1} * stride_x + window_x != int64_t{in.width} + pad_left + pad_right ||
      int64_t{out_height - 1} * stride_y + window_y != int64_t{in.height} + pad_top + pad_bottom) {
    throw std::invalid_argument(msg::op_geometry(kOp, "the pads do not agree with the output size."));
  }
  const uint32_t filters = lw.shape()[0];
  const int8_t* rows = lw.data<int8_t>();
  const uint8_t* pad_values = v.data<uint8_t>();
  int64_t weight_sum = 0;
  for (uint32_t f = 0; f < filters; ++f) {
    int64_t sum = 0;
    for (size_t k = 0; k < depth; ++k) sum += std::abs(rows[f * depth + k]);
    weight_sum = std::max(weight_sum, sum);
  }
  detail::require_accumulator_fits(255, weight_sum, kOp);
  auto out = detail::int32_tensor(in.result_shape(out_width, out_height, filters));
  int32_t* result = out->data<int32_t>();
  std::vector<int32_t> patch(depth);
  for (uint32_t frame = 0; frame < in.frames; ++frame) {
    const uint8_t* image = x.data<uint8_t>() + frame * in.frame_size();
    for (uint32_t ox = 0; ox < out_width; ++ox) {
      for (uint32_t oy = 0; oy < out_height; ++oy) {
        size_t k = 0;
        for (int32_t kx = 0; kx < window_x; ++kx) {
          const int64_t ix = int64_t{ox} * stride_x - pad_left + kx;
          for (int32_t ky = 0; ky < window_y; ++ky) {
            const int64_t iy = int64_t{oy} * stride_y - pad_top + ky;
            const bool inside = ix >= 0 && ix < in.width && iy >= 0 && iy < in.height;
            const uint8_t* pixel = inside ? image + (ix * in.height + iy) * in.channels : pad_values;
            for (uint32_t c = 0; c < in.channels; ++c) patch[k++] = pixel[c];
          }
        }
        for (uint32_t f = 0; f < filters; ++f) {
          int32_t sum = 0;
          const int8_t* row = rows + f * depth;
          for (size_t i = 0; i < depth; ++i) sum += patch[i] * static_cast<int32_t>(row[i]);
          *result++ = sum;
        }
      }
    }
  }
  return out;
}

std::shared_ptr<Dense> conv2d_transpose(const Dense& x, const Dense& w, uint8_t s, int32_t pad_x, int32_t pad_y,
                                        uint32_t out_width, uint32_t out_height) {
  constexpr const char* kOp = "conv2d_transpose";
  const ImageView in = detail::image_view(x, TensorType::int32, kOp, "x");
  const Kernel k = kernel_of(w, in, false, kOp);
  detail::require_range(s, 1, UINT8_MAX, kOp, "the stride");
  detail::require_range(pad_x, 0, int64_t{k.window_x} - 1, kOp, "pad_x");
  detail::require_range(pad_y, 0, int64_t{k.window_y} - 1, kOp, "pad_y");
  detail::require_range(out_width, 1, int64_t{in.width} * s, kOp, "out_width");
  detail::require_range(out_height, 1, int64_t{in.height} * s, kOp, "out_height");
  const int8_t* weights = w.data<int8_t>();
  const size_t filters = k.filters;
  detail::require_accumulator_fits(detail::max_magnitude(x.data<int32_t>(), x.size()),
                                   detail::max_column_abs_sum(weights, w.size() / filters, filters), kOp);
  auto out = detail::int32_tensor(in.result_shape(out_width, out_height, k.filters));
  const size_t out_frame = size_t{out_width} * out_height * filters;
  for (uint32_t frame = 0; frame < in.frames; ++frame) {
    const int32_t* image = x.data<int32_t>() + frame * in.frame_size();
    int32_t* result = out->data<int32_t>() + frame * out_frame;
    for (uint32_t ix = 0; ix < in.width; ++ix) {
      for (uint32_t iy = 0; iy < in.height; ++iy) {
        const int32_t* pixel = image + (size_t{ix} * in.height + iy) * in.channels;
        for (uint32_t a = 0; a < k.window_x; ++a) {
          const int64_t ox = int64_t{ix} * s + a - pad_x;
          if (ox < 0 || ox >= out_width) continue;
          for (uint32_t b = 0; b < k.window_y; ++b) {
            const int64_t oy = int64_t{iy} * s + b - pad_y;
            if (oy < 0 || oy >= out_height) continue;
            int32_t* acc = result + (ox * out_height + oy) * filters;
            const int8_t* rows = weights + (size_t{a} * k.window_y + b) * k.channels * filters;
            for (uint32_t c = 0; c < k.channels; ++c) detail::axpy(pixel[c], rows + c * filters, acc, filters);
          }
        }
      }
    }
  }
  return out;
}

}  // namespace ornix::ops
