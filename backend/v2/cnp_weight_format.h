#pragma once

// Packing of Conv2D (and Conv2DTranspose) and DepthwiseConv2D (and its transposed form) weights
// into the CNP weight stream of one NP.
//
// Each packer takes the layer's weights tensor, (K, K, input channels, filters) for Conv2D and
// (K, K, 1, channels) for depthwise, read through its strides, and the NP's range: filters (or
// channels) first .. first + count - 1. It returns the transfer words that go, without a header,
// to the target of v2::conv2d_dma_target / v2::dwc_dma_target; every bit not written is 0. The
// kernel size comes from dimension 0. Each packer comes in two forms: format_* returns new words;
// *_words gives their number and pack_* writes them into zero-filled words of that size (a
// DMA block's payload, written in place), both with the checks of format_*. Failures, all
// thrown before anything is returned or written:
// - a tensor not stored as signed bytes: panic "Wrong requested type %s for a tensor of type %s.";
// - not four dimensions or a kernel that is not square, or a range past the last filter:
//   std::invalid_argument (see CnpWeightsView);
// - an unsupported kernel size: std::runtime_error with the message of the matching size rule.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "ornix/tensor.h"

namespace ornix::v2 {

// 8-bit weights (bits 8; other widths go to format_conv2d_4bit_weights): q = ch_cont_size(K,
// count) x (3, or 4 for K 7) words per input channel, XL-rounded in all. Kernels 1, 3, 4, 5, 7,
// else "cnp_weight_format: Unexpected kernel size.".
std::vector<uint32_t> format_conv2d_cnp_weights(const Dense& weights, uint32_t first, uint32_t count, uint8_t bits);
size_t conv2d_cnp_weight_words(const Dense& weights, uint32_t first, uint32_t count, uint8_t bits);
void pack_conv2d_cnp_weights(const Dense& weights, uint32_t first, uint32_t count, uint8_t bits,
                             std::span<uint32_t> words);

// 4-bit weights: the low four bits of each value, unchecked. 4 x conv2d_4bit_ch_cont_100b_size
// words per input channel, not XL-rounded. Kernels 1, 3, 5, 7, else "Unsupported kernel size.".
std::vector<uint32_t> format_conv2d_4bit_weights(const Dense& weights, uint32_t first, uint32_t count);
size_t conv2d_4bit_weight_words(const Dense& weights, uint32_t first, uint32_t count);
void pack_conv2d_4bit_weights(const Dense& weights, uint32_t first, uint32_t count, std::span<uint32_t> words);

// 8-bit weights (bits 8; other widths go to format_depthwise_conv_cnp_4bit_weights):
// 3 x dwc_ch_cont_100b_size words, XL-rounded; kernels 3, 4, 5, 7, else "ch_cont_size:
// Unexpected kernel size.". Kernel 5 channels start 30 bytes apart inside 36 reserved bytes each;
// the tail of the stream stays 0.
std::vector<uint32_t> format_depthwise_conv_cnp_weights(const Dense& weights, uint32_t first, uint32_t count,
                                                        uint8_t bits);
size_t depthwise_conv_cnp_weight_words(const Dense& weights, uint32_t first, uint32_t count, uint8_t bits);
void pack_depthwise_conv_cnp_weights(const Dense& weights, uint32_t first, uint32_t count, uint8_t bits,
                                     std::span<uint32_t> words);

// 4-bit weights: 2, 6 or 14 words per channel for K 3, 5, 7 (not rounded), else "Invalid kernel
// size.". A weight outside -8 .. 7 panics "V cannot fit in a 4 bits signed integer.".
std::vector<uint32_t> format_depthwise_conv_cnp_4bit_weights(const Dense& weights, uint32_t first, uint32_t count);
size_t depthwise_conv_cnp_4bit_weight_words(const Dense& weights, uint32_t first, uint32_t count);
void pack_depthwise_conv_cnp_4bit_weights(const Dense& weights, uint32_t first, uint32_t count,
                                          std::span<uint32_t> words);

}  // namespace ornix::v2
