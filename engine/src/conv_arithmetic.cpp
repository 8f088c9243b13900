#include "conv_arithmetic.h"

namespace ornix {

AxisWindow slide(uint32_t size, uint32_t window, uint32_t stride, Padding padding) {
  if (size == 0) return {};
  if (padding == Padding::Same) {
    const uint32_t out = size / stride + (size % stride != 0 ? 1 : 0);
    const uint64_t covered = uint64_t{out - 1} * stride + window;
    const uint64_t total = covered > size ? covered - size : 0;
    return {out, static_cast<uint32_t>(total / 2), static_cast<uint32_t>(total - total / 2)};
  }
  if (size < window) return {};
  return {(size - window) / stride + 1, 0, 0};
}

}  // namespace ornix
