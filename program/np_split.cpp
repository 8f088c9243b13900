#include "program/np_split.h"

#include <stdexcept>

#include "program/messages.h"

namespace ornix {
namespace {

uint32_t round_up_to_4(uint32_t value) { return (value + 3) & ~uint32_t{3}; }

// Division by the pool stride, where a stride of 0 gives 0.
uint32_t divide_by_pool_stride(uint32_t value, uint32_t pool_stride) {
  return pool_stride == 0 ? 0 : value / pool_stride;
}

// The window of one axis, the convolution along it and the pooling after it.
struct Axis {
  uint32_t pad_before;       // convolution padding before the first element (top or left)
  uint32_t window_start;     // first element of the NP's window
  uint32_t window_size;      // elements of the window
  uint32_t input_size;       // elements of the layer input
  uint32_t pool_pad_before;  // pool padding top or left
  uint32_t pool_pad_after;   // pool padding bottom or right
};

struct PooledOutputs {
  uint32_t origin;  // first pooled output
  uint32_t count;   // pooled output count term
};

// Which pooled outputs of one axis an NP produces: those of the convolution outputs whose
// kernel centre (stride x r + kernel / 2 in padded coordinates) lies in its window.
PooledOutputs pooled_outputs(const Axis& axis, uint32_t kernel, uint32_t stride, uint32_t pool_size,
                             uint32_t pool_stride) {
  const uint32_t half = kernel / 2;
  const uint32_t first = axis.pad_before + axis.window_start;
  const uint32_t end = axis.window_start + axis.window_size;
  const uint32_t last = axis.pad_before + end - 1;

  // First convolution output of the window.
  uint32_t a = kernel >= first + stride ? 0 : (stride - kernel + first) / stride;
  while (first > half + stride * a) ++a;

  // Last convolution output of the window. Compared in signed 64 bits: a window that holds no
  // kernel centre ends with a negative b (then wrapped), where a u32 comparison would never
  // stop searching for some strides.
  int64_t b = last / stride;
  while (int64_t{last} < int64_t{stride} * b + half) --b;

  const uint32_t extra = end == axis.input_size ? axis.pool_pad_after : 0;
  const uint32_t origin = a == 0 ? 0 : divide_by_pool_stride(a + axis.pool_pad_before, pool_stride);
  const uint32_t last_pooled = static_cast<uint32_t>(b) + axis.pool_pad_before + extra;
  uint32_t count = 1 - origin;
  if (pool_size < pool_stride + last_pooled) {
    count += divide_by_pool_stride(pool_stride - pool_size + last_pooled, pool_stride);
  }
  return {origin, count};
}

NpWindowGeometry window_geometry(const NpSpace& window, const NpSpace& padded) {
  NpWindowGeometry geometry;
  geometry.padded_y = padded.y;
  geometry.padded_x = padded.x;
  geometry.height = window.shape[1];
  geometry.width = window.shape[0];
  geometry.channels = window.shape[2];
  geometry.y_offset = padded.y - window.y;
  geometry.x_offset = padded.x - window.x;
  geometry.padded_height = padded.shape[1];
  geometry.padded_width = padded.shape[0];
  return geometry;
}

}  // namespace

NpSplit::NpSplit(const Shape& input, NpSpace window, const NpSpace& padded, int kernel_size, int stride,
                 const PaddingParams& padding, unsigned pool_size, uint8_t pool_stride,
                 const PaddingParams& pool_padding)
    : NpWindowGeometry(window_geometry(window, padded)) {
  if (stride < 1) throw std::invalid_argument(program::kMsgNpSplitStride);
  const auto kernel = static_cast<uint32_t>(kernel_size);
  const auto step = static_cast<uint32_t>(stride);
  y_phase = (padding.top + window.y) % step;
  x_phase = (padding.left + window.x) % step;

  const PooledOutputs rows = pooled_outputs(
      {padding.top, window.y, height, input[1], pool_padding.top, pool_padding.bottom}, kernel, step, pool_size,
      pool_stride);
  const PooledOutputs cols = pooled_outputs(
      {padding.left, window.x, width, input[0], pool_padding.left, pool_padding.right}, kernel, step, pool_size,
      pool_stride);
  out_row_origin = rows.origin;
  out_rows = rows.count;
  out_col_origin = cols.origin;
  out_cols = cols.count;
}

uint32_t NpSplit::icont_size() const { return round_up_to_4(width); }

TransposedCnpSplit::TransposedCnpSplit(NpSpace window, const NpSpace& padded)
    : NpWindowGeometry(window_geometry(window, padded)),
      out_y(2 * window.y),
      out_x(2 * window.x),
      out_height(2 * height),
      out_width(2 * width) {}

uint32_t TransposedCnpSplit::icont_size() const { return round_up_to_4(out_width); }

}  // namespace ornix
