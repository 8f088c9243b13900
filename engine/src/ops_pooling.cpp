#include <algorithm>
#include <limits>
#include <stdexcept>

#include "image_view.h"
#include "ops_messages.h"
#include "ops_support.h"
#include "ornix/ops/pooling.h"

namespace ornix::ops {

std::shared_ptr<Dense> global_average_pooling(std::shared_ptr<const Dense> x, int n) {
  constexpr const char* kOp = "global_average_pooling";
  if (!x) throw std::invalid_argument(msg::op_null_tensor(kOp));
  detail::require_bits(n, kOp);
  const detail::ImageView in = detail::image_view(*x, TensorType::int32, kOp, "x");
  const detail::Range range = detail::signed_range(n);
  auto out = detail::int32_tensor(in.result_shape(1, 1, in.channels));
  const int64_t count = int64_t{in.width} * in.height;
  std::vector<int64_t> sums(in.channels);
  for (uint32_t frame = 0; frame < in.frames; ++frame) {
    const int32_t* image = x->data<int32_t>() + frame * in.frame_size();
    std::fill(sums.begin(), sums.end(), 0);
    for (int64_t p = 0; p < count; ++p) {
      for (uint32_t c = 0; c < in.channels; ++c) sums[c] += image[p * in.channels + c];
    }
    int32_t* result = out->data<int32_t>() + size_t{frame} * in.channels;
    for (uint32_t c = 0; c < in.channels; ++c) result[c] = detail::clamp_to(detail::divide_round(sums[c], count), range);
  }
  return out;
}

std::shared_ptr<Dense> max_pooling(std::shared_ptr<const Dense> x, uint8_t window_x, int8_t window_y, bool pad_is_zero,
                                   uint32_t out_width, uint32_t out_height, int8_t stride_x, int8_t stride_y,
                                   int32_t pad_left, int32_t pad_right, int32_t pad_top, int32_t pad_bottom, int n) {
  constexpr const char* kOp = "max_pooling";
  if (!x) throw std::invalid_argument(msg::op_null_tensor(kOp));
  detail::require_bits(n, kOp);
  const detail::ImageView in = detail::image_view(*x, TensorType::int32, kOp, "x");
  detail::require_range(window_x, 1, UINT8_MAX, kOp, "window_x");
  detail::require_range(window_y, 1, INT8_MAX, kOp, "window_y");
  detail::check_axis(kOp, "x", in.width, window_x, stride_x, pad_left, out_width);
  detail::check_axis(kOp, "y", in.height, window_y, stride_y, pad_top, out_height);
  detail::require_range(pad_right, 0, int64_t{window_x} - 1, kOp, "pad_right");
  detail::require_range(pad_bottom, 0, int64_t{window_y} - 1, kOp, "pad_bottom");
  const detail::Range range = detail::signed_range(n);
  auto out = detail::int32_tensor(in.result_shape(out_width, out_height, in.channels));
  int32_t* result = out->data<int32_t>();
  std::vector<int64_t> best(in.channels);
  for (uint32_t frame = 0; frame < in.frames; ++frame) {
    const int32_t* image = x->data<int32_t>() + frame * in.frame_size();
    for (uint32_t ox = 0; ox < out_width; ++ox) {
      for (uint32_t oy = 0; oy < out_height; ++oy) {
        std::fill(best.begin(), best.end(), std::numeric_limits<int64_t>::min());
        bool padded = false;
        bool any = false;
        for (int64_t kx = 0; kx < window_x; ++kx) {
          const int64_t ix = int64_t{ox} * stride_x - pad_left + kx;
          for (int64_t ky = 0; ky < window_y; ++ky) {
            const int64_t iy = int64_t{oy} * stride_y - pad_top + ky;
            if (ix < 0 || ix >= in.width || iy < 0 || iy >= in.height) {
              padded = true;
              continue;
            }
            any = true;
            const int32_t* pixel = image + (ix * in.height + iy) * in.channels;
            for (uint32_t c = 0; c < in.channels; ++c) best[c] = std::max<int64_t>(best[c], pixel[c]);
          }
        }
        if (!any) throw std::invalid_argument(msg::op_empty_window(kOp));
        for (uint32_t c = 0; c < in.channels; ++c) {
          *result++ = detail::clamp_to(pad_is_zero && padded ? std::max<int64_t>(best[c], 0) : best[c], range);
        }
      }
    }
  }
  return out;
}

}  // namespace ornix::ops
