#pragma once

// Read access to the weights of the filters (or depthwise channels) one NP computes.

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

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

  // Calls f(i, weight) for the weights of filters (or depthwise channels) index .. index + n - 1
  // at one kernel position, in order. Filters stored side by side get a loop the compiler can
  // vectorize.
  template <typename F>
  void for_each_filter(uint32_t column, uint32_t row, uint32_t channel, uint32_t index, size_t n, F f) const {
    const int8_t* weights = find(column, row, channel, index);
    const size_t step = strides_[3];
    if (step == 1) {
      for (size_t i = 0; i < n; ++i) f(i, weights[i]);
    } else {
      for (size_t i = 0; i < n; ++i) f(i, weights[i * step]);
    }
  }

  // Copies the weights of filters (or depthwise channels) index .. index + n - 1 of `channel`
  // into `out`, filter by filter in kernel row order: out[(row * slots + slot) * K + column]
  // for slot < n (slots >= n are not written). The reads run along the filters, the order most
  // tensors store them in.
  void gather(uint32_t channel, uint32_t index, uint32_t n, uint32_t slots, int8_t* out) const {
    // A local: the byte stores below could otherwise alias the member and force reloads.
    const size_t kernel = kernel_;
    for (uint32_t row = 0; row < kernel; ++row) {
      for (uint32_t column = 0; column < kernel; ++column) {
        int8_t* codes = out + row * slots * kernel + column;
        for_each_filter(column, row, channel, index, n, [&](size_t slot, int8_t weight) { codes[slot * kernel] = weight; });
      }
    }
  }

 private:
  const int8_t* data_;
  std::array<size_t, 4> strides_;  // elements
  uint32_t kernel_;
  uint32_t channels_;
  uint32_t first_;
};

// One input channel's weights of a view's filters, gathered in the order Conv2D packers write
// them: kernel row by kernel row, filter by filter, K columns each. Each row holds `slots`
// filter slots (at least the view's filters); the slots past them stay 0. Reading a channel
// runs along the filters, one kernel position after another, the order tensors store them in.
class ChannelWeights {
 public:
  ChannelWeights(const CnpWeightsView& view, uint32_t count, uint32_t slots)
      : view_(view),
        count_(count),
        slots_(slots),
        pitch_(size_t{slots} * view.kernel()),
        codes_(view.kernel() * pitch_ + kReadPast, 0) {}

  void load(uint32_t channel) {
    if (!view_.filters_contiguous()) return view_.gather(channel, 0, count_, slots_, codes_.data());
    // Filters side by side and a kernel size known to the compiler: it interleaves the columns
    // in vector registers.
    switch (view_.kernel()) {
      case 1: return load_kernel<1>(channel);
      case 3: return load_kernel<3>(channel);
      case 4: return load_kernel<4>(channel);
      case 5: return load_kernel<5>(channel);
      case 7: return load_kernel<7>(channel);
      default: return view_.gather(channel, 0, count_, slots_, codes_.data());
    }
  }

  // The weights of filter slot `slot` on kernel row `row`, then those of the following slots;
  // 32 bytes past the last row may be read.
  const int8_t* at(uint32_t row, uint32_t slot) const { return codes_.data() + row * pitch_ + size_t{slot} * view_.kernel(); }

 private:
  static constexpr size_t kReadPast = 32;

  template <size_t K>
  void load_kernel(uint32_t channel) {
    for (uint32_t row = 0; row < K; ++row) {
      const int8_t* columns[K];
      for (uint32_t column = 0; column < K; ++column) columns[column] = view_.find(column, row, channel, 0);
      int8_t* codes = codes_.data() + row * pitch_;
      for (size_t slot = 0; slot < count_; ++slot) {
        for (size_t column = 0; column < K; ++column) codes[slot * K + column] = columns[column][slot];
      }
    }
  }

  const CnpWeightsView& view_;
  uint32_t count_;
  uint32_t slots_;
  size_t pitch_;  // bytes of one kernel row
  std::vector<int8_t> codes_;
};

}  // namespace ornix::v2
