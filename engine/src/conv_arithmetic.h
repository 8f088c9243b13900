#pragma once

#include <cstdint>

#include "ornix/layer_types.h"

namespace ornix {

// A window sliding along one axis: the positions it takes and the padding it needs.
struct AxisWindow {
  uint32_t out = 0;     // positions, that is output elements along the axis
  uint32_t before = 0;  // zero elements added before the first input element
  uint32_t after = 0;   // zero elements added after the last one
};

// Valid: the positions where the window fits, (size - window) / stride + 1, or 0 when it does
// not fit; no padding. Same: ceil(size / stride) positions and the padding they need,
// (out - 1) x stride + window - size (at least 0), the smaller half before. A size of 0 gives
// no position. `window` and `stride` are at least 1.
AxisWindow slide(uint32_t size, uint32_t window, uint32_t stride, Padding padding);

}  // namespace ornix
