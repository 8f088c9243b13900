#pragma once

// Packing of buffered temporal convolution weights into the TNP-B weight memory of one NP.
//
// A TNP-B weight word has 100 bits of which twelve bytes carry weights; it travels as three
// transfer words, its byte j in transfer word j / 4, bits 8 (j mod 4) .. 8 (j mod 4) + 7, as the
// weight's 8-bit two's complement. The packers return the transfer words that go, without a
// header, to DMA target 1 (dma::Target::CnpWeights8bit); every bit not written is 0. Block sizes
// are those of tnp_b_sizes.h.
//
// Each packer comes in two forms: format_* returns new words; *_words gives their number and
// pack_* writes them into zero-filled words of that size (a DMA block's payload, written in
// place), both with the checks of format_*, in its order.
//
// Weights tensors are (1, 1, K, F), read through their strides at (0, 0, k, f) as signed bytes.
// Failures, all thrown before anything is returned or written: a tensor not stored as signed
// bytes panics "Wrong requested type %s for a tensor of type %s."; a tensor that is not
// four-dimensional with equal first two dimensions, or a range first .. first + count - 1 past
// its last filter (or channel), std::invalid_argument (CnpWeightsView, cnp_weight_tensor.h).

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "ornix/tensor.h"

namespace ornix::v2 {

// Weight bytes of one TNP-B weight word; also the most taps a depthwise channel can hold.
inline constexpr uint32_t kTnpBWordBytes = 12;

// BufferTempConv: dimension 2 holds fifo_size taps x CI input channels, tap-major (row
// t x CI + c, CI = K / fifo_size); dimension 3 the filters. The NP computes filters first ..
// first + count - 1. Result: tnp_b_buffer_temp_conv_formatted_weight_32b_size(count, K) words.
// The channel container of tap t and input channel c (cc = buffer_temp_conv_ch_cont_100b_size
// (count) weight words) starts at transfer word 3 cc (t + c fifo_size): containers go input
// channel by input channel, tap by tap within one. Filter first + r lies in its 24-filter chunk
// r / 24 (six transfer words) at byte r mod 24, so at byte r of the container. fifo_size 0 gives
// the zero block; rows beyond fifo_size x CI are not read.
std::vector<uint32_t> format_tnp_b_buffer_temp_conv_weights(const Dense& weights, uint32_t fifo_size, uint32_t first,
                                                            uint32_t count);
size_t tnp_b_buffer_temp_conv_weight_words(const Dense& weights, uint32_t first, uint32_t count);
void pack_tnp_b_buffer_temp_conv_weights(const Dense& weights, uint32_t fifo_size, uint32_t first, uint32_t count,
                                         std::span<uint32_t> words);

// DepthwiseBufferTempConv: dimension 2 holds the T taps, dimension 3 the channels; the NP
// computes channels first .. first + count - 1. Result:
// depthwise_buffer_temp_conv_formatted_weight_32b_size(T, count) words; channel first + i owns
// weight word i, its tap t at byte 12 i + t of the block; the words after the first 3 count stay
// 0. A tensor of more than kTnpBWordBytes taps cannot be laid out (a tap would overwrite the
// next channel's word): std::invalid_argument "A DepthwiseBufferTempConv channel holds at most 12
// taps in its weight word (got T).".
std::vector<uint32_t> format_tnp_b_depthwise_buffer_temp_conv_weights(const Dense& weights, uint32_t first,
                                                                      uint32_t count);
size_t tnp_b_depthwise_buffer_temp_conv_weight_words(const Dense& weights, uint32_t first, uint32_t count);
void pack_tnp_b_depthwise_buffer_temp_conv_weights(const Dense& weights, uint32_t first, uint32_t count,
                                                   std::span<uint32_t> words);

}  // namespace ornix::v2
