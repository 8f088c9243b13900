#pragma once

#include <cstdint>

#include "hardware/component.h"
#include "ornix/shape.h"

namespace ornix {

// What the CNP registers take from every split form: the width of the NP's input container.
// Splits are held by value; the destructor is protected so none is deleted through this base.
class NpSplitInterface {
 public:
  virtual uint32_t icont_size() const = 0;

 protected:
  NpSplitInterface() = default;
  NpSplitInterface(const NpSplitInterface&) = default;
  NpSplitInterface& operator=(const NpSplitInterface&) = default;
  ~NpSplitInterface() = default;
};

// The window of one NP of a split convolution. Elements of the layer input; y counts rows,
// x columns. Differences wrap around in u32.
struct NpWindowGeometry {
  uint32_t padded_y = 0;       // first row of the padded window
  uint32_t padded_x = 0;       // first column of the padded window
  uint32_t height = 0;         // rows of the NP's window
  uint32_t width = 0;          // columns of the NP's window
  uint32_t channels = 0;       // channels of the NP's window
  uint32_t y_phase = 0;        // (padding top + window y) mod stride
  uint32_t x_phase = 0;        // (padding left + window x) mod stride
  uint32_t y_offset = 0;       // padded window y - window y
  uint32_t x_offset = 0;       // padded window x - window x
  uint32_t padded_height = 0;  // rows of the padded window
  uint32_t padded_width = 0;   // columns of the padded window
};

// One NP's share of an ordinary convolution: its window, and which pooled outputs it
// produces. All values are u32 with wrap-around, as the CNP registers take them.
class NpSplit final : public NpSplitInterface, public NpWindowGeometry {
 public:
  // `window` and `padded` are the NP's spatial and padded partitions (shape: width, height,
  // channels); `input` is the layer input (width, height). `padding` pads the convolution's
  // input, `pool_padding` its output; pool_size and pool_stride describe the pooling (a pool
  // stride of 0 makes every division by it 0). std::invalid_argument when stride < 1.
  NpSplit(const Shape& input, NpSpace window, const NpSpace& padded, int kernel_size, int stride,
          const PaddingParams& padding, unsigned pool_size, uint8_t pool_stride, const PaddingParams& pool_padding);

  uint32_t icont_size() const override;  // width rounded up to a multiple of 4

  uint32_t out_row_origin = 0;  // first pooled output row of the NP
  uint32_t out_col_origin = 0;  // first pooled output column
  uint32_t out_rows = 0;        // pooled output row count term
  uint32_t out_cols = 0;        // pooled output column count term
};

// One NP's share of a transposed convolution, which doubles the plane: the output window is
// twice the input window. Phases are 0.
class TransposedCnpSplit final : public NpSplitInterface, public NpWindowGeometry {
 public:
  TransposedCnpSplit(NpSpace window, const NpSpace& padded);

  uint32_t icont_size() const override;  // out_width rounded up to a multiple of 4

  uint32_t out_y = 0;       // 2 x window y
  uint32_t out_x = 0;       // 2 x window x
  uint32_t out_height = 0;  // 2 x height
  uint32_t out_width = 0;   // 2 x width
};

}  // namespace ornix
