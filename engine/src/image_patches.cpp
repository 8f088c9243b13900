#include "ornix/ops/image_patches.h"

#include <stdexcept>

#include "conv_arithmetic.h"
#include "ops_messages.h"
#include "ops_support.h"

namespace ornix {

namespace {

constexpr const char* kOp = "ImagePatches";

AxisWindow checked_slide(uint32_t size, int32_t window, int32_t stride, Padding padding) {
  const AxisWindow axis = slide(size, static_cast<uint32_t>(window), static_cast<uint32_t>(stride), padding);
  if (axis.out == 0) throw std::invalid_argument(msg::op_window_too_large(kOp, static_cast<uint32_t>(window), size));
  ops::detail::require_range(axis.before, 0, INT32_MAX, kOp, "padding");
  ops::detail::require_range(axis.after, 0, INT32_MAX, kOp, "padding");
  return axis;
}

}  // namespace

ImagePatches::ImagePatches(int32_t window_x, int32_t window_y, int32_t stride_x_, int32_t stride_y_, Padding padding,
                           const Shape& input) {
  using ops::detail::require_range;
  if (input.size() != 3 && input.size() != 4) throw std::invalid_argument(msg::op_bad_rank(kOp, "the input", "3 or 4", input.size()));
  require_range(window_x, 1, INT32_MAX, kOp, "window_x");
  require_range(window_y, 1, INT32_MAX, kOp, "window_y");
  require_range(stride_x_, 1, INT8_MAX, kOp, "stride_x");
  require_range(stride_y_, 1, INT8_MAX, kOp, "stride_y");
  require_range(static_cast<int64_t>(padding), 0, 1, kOp, "padding");
  const size_t first = input.size() - 3;
  const AxisWindow x = checked_slide(input[first], window_x, stride_x_, padding);
  const AxisWindow y = checked_slide(input[first + 1], window_y, stride_y_, padding);
  pad_top = static_cast<int32_t>(y.before);
  pad_bottom = static_cast<int32_t>(y.after);
  pad_left = static_cast<int32_t>(x.before);
  pad_right = static_cast<int32_t>(x.after);
  out_width = x.out;
  out_height = y.out;
  stride_x = static_cast<int8_t>(stride_x_);
  stride_y = static_cast<int8_t>(stride_y_);
}

}  // namespace ornix
