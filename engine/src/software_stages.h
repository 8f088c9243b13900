#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "ornix/layer_impl.h"
#include "ornix/tensor.h"
#include "pooled_conv_build.h"

// The stages that the layers' software runs share, each prepared once per run from the layer's
// parameters and variables. Values between layers are int32 images (width, height, channels).

namespace ornix::software {

// The values of an integer tensor in the row-major order of its dimensions (a reversed-layout
// tensor is read through its strides). For small tensors (per-channel values, one output): a
// layer's weights are read as int8 (to_int8, permuted_int8, WeightRows).
std::vector<int64_t> integer_values(const Dense& tensor);

// Weights (4 dimensions) as a row-major int8 tensor whose dimension d is dimension
// `source_dims[d]` of `weights` (values outside int8 are refused with std::runtime_error).
std::shared_ptr<Dense> permuted_int8(const Dense& weights, const std::array<size_t, 4>& source_dims);

// The weights' values as int8 elements in their memory order, read as the row-major `rows`: the
// tensor itself when it keeps int8 elements, else one converted copy (values outside int8 are
// refused with std::runtime_error).
std::shared_ptr<const Dense> int8_in_memory_order(const std::shared_ptr<const Dense>& weights, const Shape& rows);

// A weight matrix (depth, columns) of int8 values in memory order (int8_in_memory_order), and its
// product with int32 rows: each row of depth values becomes `columns` int32 sums, refused with
// std::invalid_argument when a sum could leave the int32 range (as ops::matmul refuses it).
class WeightRows {
 public:
  WeightRows(const std::shared_ptr<const Dense>& weights, uint32_t depth, uint32_t columns);
  // x: int32, row-major, last dimension `depth`; the result has `columns` in its place.
  std::shared_ptr<Dense> times(const Dense& x) const;
  uint32_t columns() const { return columns_; }

 private:
  std::shared_ptr<const Dense> values_;
  uint32_t depth_, columns_;
  int64_t column_sum_ = 0;  // the largest sum of absolute weights over one column
};

// The layer's variable `name`, or null when it has none.
std::shared_ptr<const Dense> optional_variable(const Layer& layer, const char* name);

// Any integer tensor's values as a row-major int32 tensor of the given shape (its own when
// empty). Reversed-layout tensors are read through their strides.
std::shared_ptr<Dense> to_int32(const Dense& tensor, const Shape& shape = {});
// The same for int8 and uint8 (values outside the type are refused with std::runtime_error).
std::shared_ptr<Dense> to_int8(const Dense& tensor, const Shape& shape = {});
std::shared_ptr<Dense> to_uint8(const Dense& tensor);

// A tensor of `count` copies of `value`.
std::shared_ptr<Dense> filled(TensorType type, uint32_t count, int32_t value);

// x x 2^input_shift[c] (the layer's "input_shift", one per channel or per input value) when the
// layer has one; x itself otherwise.
class InputShift {
 public:
  explicit InputShift(const Layer& layer);
  std::shared_ptr<Dense> apply(std::shared_ptr<Dense> x) const;

 private:
  std::shared_ptr<const Dense> shifts_;
};

// What a generation-2 layer does with its accumulators, per output channel f:
//   1. bias:        acc + bias[f] x 2^bias_shift[f]                  ("bias", "bias_shift")
//   2. activation:  ReLU: limited to [0, max_value[f] x 2^max_value_shift[f]] (no ceiling
//                   without "max_value"); LUT: see 3;
//   3. output:      scale_out(acc, output_scales[f], output_shift[f]) (1 and 0 when absent) to
//                   the layer's output bits, unsigned with an activation, signed without; with a
//                   LUT activation the scaled value (32 bits) indexes "lut_values" and the entry
//                   is saturated to the output bits.
class OutputStage {
 public:
  virtual ~OutputStage() = default;
  virtual std::shared_ptr<Dense> apply(std::shared_ptr<Dense> acc) const = 0;
};

class V2Output final : public OutputStage {
 public:
  V2Output(const LayerImpl& layer, uint32_t channels);
  std::shared_ptr<Dense> apply(std::shared_ptr<Dense> acc) const override;

 private:
  const LayerImpl& layer_;
  std::vector<int64_t> bias_;  // empty: none
  std::shared_ptr<Dense> ceilings_;
  std::shared_ptr<Dense> scales_;
  std::shared_ptr<Dense> shifts_;
  std::shared_ptr<Dense> lut_;
};

// What a generation-1 layer does with its potentials: without activation they are the output;
// with one, a potential p becomes the level 0 when p <= threshold[f], else
// min(ceil(16 (p - threshold[f]) / s16[f]), 2^act_bits - 1), s16 being act_step[f] in sixteenths
// (get_threshold_t16_from_act_steps); a step of 0 or less gives the top level at once.
class V1Output final : public OutputStage {
 public:
  explicit V1Output(const LayerImpl& layer);
  std::shared_ptr<Dense> apply(std::shared_ptr<Dense> potentials) const override;

 private:
  const LayerImpl& layer_;
  std::vector<int64_t> thresholds_;
  std::vector<int64_t> steps16_;
};

// The pooling of a pooled convolution over its (already activated) output: max pooling of the
// windows (padding left out), or the average of the window's input elements rounded half up, or
// the global average; nothing without pooling.
class Pooling {
 public:
  Pooling(const LayerImpl& layer, const ConvKeys& keys);
  std::shared_ptr<Dense> apply(std::shared_ptr<Dense> x) const;

 private:
  PoolType type_ = PoolType::NoPooling;
  bool global_ = false;
  int32_t size_x_ = 1, size_y_ = 1, stride_x_ = 1, stride_y_ = 1;
  Padding padding_ = Padding::Valid;
};

// The saturation of a pass-through layer's values to its output bits and signedness.
std::shared_ptr<Dense> saturate_to_output(const Layer& layer, std::shared_ptr<Dense> x);

// (1, 1, n) view of a flat row of values, and the flat (1, count) view of an image.
std::shared_ptr<Dense> reshaped(const Dense& x, const Shape& shape);

}  // namespace ornix::software
