#pragma once

// Sizes of the TNP-B weights one NP holds.
//
// n is the filters (BufferTempConv) or channels (DepthwiseBufferTempConv) the NP computes, s the
// layer's "fifo_size", c its input channels, rows dimension 2 of a BufferTempConv weights
// tensor (taps x input channels) and taps that of a depthwise one. `_100b_size` results count
// 100-bit weight words (twelve weight bytes used in each), `_32b_size` results 32-bit transfer
// words (three per 100-bit word). Results are computed in unsigned 32-bit arithmetic: callers
// pass counts within the hardware limits.

#include <cstdint>

namespace ornix::v2 {

// The channel container of a BufferTempConv (one tap of one input channel for the n filters),
// in 24-filter chunks of two words: 2 x ceil(n / 24).
uint32_t buffer_temp_conv_ch_cont_100b_size(uint32_t filters);

// BufferTempConv weight memory of s + 1 taps: (s + 1) x c x channel container.
uint32_t buffer_temp_conv_tnp_formatted_weight_100b_size(uint32_t fifo_size, uint32_t filters,
                                                         uint32_t input_channels);

// A formatted BufferTempConv block: rows x channel container x 3 words, XL-rounded.
uint32_t tnp_b_buffer_temp_conv_formatted_weight_32b_size(uint32_t filters, uint32_t rows);

// DepthwiseBufferTempConv weight memory: (taps + 1) x n words.
uint32_t depthwise_buffer_temp_conv_tnp_formatted_weight_100b_size(uint32_t taps, uint32_t channels);

// A formatted DepthwiseBufferTempConv block: 3 x (taps + 1) x n words, XL-rounded.
uint32_t depthwise_buffer_temp_conv_formatted_weight_32b_size(uint32_t taps, uint32_t channels);

}  // namespace ornix::v2
