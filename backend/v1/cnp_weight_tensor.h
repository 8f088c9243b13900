#pragma once

// Checked views of the CNP weight tensors the packers read: rank, square kernels and filter
// range are checked once, then values are read through the strides.

#include <cstdint>

#include "ornix/tensor.h"

namespace ornix::v1 {

// A four-dimensional kernel tensor (filter or 0, channel, row, column).
struct KernelView {
  const int8_t* data = nullptr;  // element (0, 0, 0, 0)
  uint32_t kernel = 0;           // width (= height)
  uint32_t channels = 0;
  uint32_t filter_stride = 0, channel_stride = 0, row_stride = 0, column_stride = 0;

  const int8_t& at(uint32_t filter, uint32_t channel, uint32_t row, uint32_t column) const {
    return data[filter * filter_stride + channel * channel_stride + row * row_stride + column * column_stride];
  }
};

// The view of `weights` for filters first .. first + filters - 1 (std::invalid_argument past
// the last filter, or for another rank; std::runtime_error for a kernel that is not square).
KernelView kernel_view(const Dense& weights, uint32_t first_filter, uint32_t filters);

// A pointwise matrix (channel, filter).
struct PointwiseView {
  const int8_t* data = nullptr;
  uint32_t channels = 0;
  uint32_t channel_stride = 0, filter_stride = 0;

  const int8_t& at(uint32_t channel, uint32_t filter) const { return data[channel * channel_stride + filter * filter_stride]; }
};

PointwiseView pointwise_view(const Dense& weights, uint32_t first_filter, uint32_t filters);

}  // namespace ornix::v1
