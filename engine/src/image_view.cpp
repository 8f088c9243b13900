#include "image_view.h"

#include <stdexcept>
#include <string>

#include "ops_messages.h"
#include "ops_support.h"

namespace ornix::ops::detail {

Shape ImageView::result_shape(uint32_t out_width, uint32_t out_height, uint32_t out_channels) const {
  if (batched) return Shape{frames, out_width, out_height, out_channels};
  return Shape{out_width, out_height, out_channels};
}

ImageView image_view(const Dense& x, TensorType type, const char* op, const char* arg) {
  require_type(x, type, op, arg);
  require_row_major(x, op, arg);
  const Shape& s = x.shape();
  if (s.size() != 3 && s.size() != 4) throw std::invalid_argument(msg::op_bad_rank(op, arg, "3 or 4", s.size()));
  const size_t first = s.size() - 3;
  return {first == 1 ? s[0] : 1u, s[first], s[first + 1], s[first + 2], first == 1};
}

void check_axis(const char* op, const char* axis, uint32_t size, int64_t window, int64_t stride, int64_t pad_before,
                uint32_t out) {
  const std::string name(axis);
  require_range(stride, 1, INT8_MAX, op, ("stride_" + name).c_str());
  require_range(pad_before, 0, window - 1, op, ("padding before " + name).c_str());
  require_range(out, 1, (int64_t{size} + pad_before - 1) / stride + 1, op, ("output size along " + name).c_str());
}

}  // namespace ornix::ops::detail
