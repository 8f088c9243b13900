#pragma once

// Read access to the weights of the filters (or depthwise channels) one NP computes.

#include <array>
#include <cstddef>
#include <cstdint>

#include "ornix/tensor.h"

namespace ornix::v2 {

// A view of a (K, K, channels, filters) weights tensor stored as signed bytes: index 0 is the
// kernel column, index 1 the kernel row, index 3 the filter (the channel of a depthwise tensor,
// whose index 2 has one value). Elements are read through the tensor's strides, so any layout
// serves. The tensor must outlive the view.
class CnpWeightsView {
 public:
  // Panics "Wrong requested type %s for a tensor of type %s." unless the tensor stores signed
  // bytes (int8, int4, int2, bit). std::invalid_argument "CNP weights must be a four-dimensional
  // tensor with a square kernel." or, when first + count passes the last filter, "The filter range
  // goes past the last filter of the weights tensor.".
  CnpWeightsView(const Dense& weights, uint32_t first, uint32_t count);

  uint32_t kernel() const { return kernel_; }
  uint32_t channels() const { return channels_; }

  // Weight at (column, row, channel, first + index).
  int8_t at(uint32_t column, uint32_t row, uint32_t channel, uint32_t index) const { return *find(column, row, channel, index); }
  const int8_t* find(uint32_t column, uint32_t row, uint32_t channel, uint32_t index) const {
    return &data_[column * strides_[0] + row * strides_[1] + channel * strides_[2] + (first_ + index) * strides_[3]];
  }
  size_t stride(size_t index) const { return strides_[index]; }  // elements between neighbours along `index`
  // Whether the filters (index 3) of one kernel position lie side by side in memory.
  bool filters_contiguous() const { return strides_[3] == 1; }

 private:
  const int8_t* data_;
  std::array<size_t, 4> strides_;  // elements
  uint32_t kernel_;
  uint32_t channels_;
  uint32_t first_;
};

}  // namespace ornix::v2
