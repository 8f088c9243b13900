#pragma once

// Sizes of the CNP weights one NP holds, and the DMA target they are sent to.
//
// K is the kernel size, n the filters (Conv2D) or channels (depthwise) the NP computes, c the
// layer's input channels, bits the weight bit width: 8, anything else meaning 4. `_100b_size`
// results count 100-bit CNP weight words, `_32b_size` results 32-bit transfer words. Kernel
// sizes outside a rule's list throw std::runtime_error with the rule's message. Results are
// computed in unsigned 32-bit arithmetic: callers pass counts within the hardware limits.

#include <cstdint>

#include "ornix/dma/config_header.h"

namespace ornix::v2 {

// `words` unchanged, or rounded up to a multiple of 16 when a block of that many words needs the
// extra-large DMA header (the track then pads it to that size).
uint32_t xl_rounded_words(uint32_t words);

// Conv2D, 100-bit words per input channel. 4-bit: K 1: ceil(n/24); 3: 3 ceil(n/8);
// 5: 8 ceil(n/8); 7: 21 ceil(n/8); other K: "Unsupported kernel size.".
uint32_t conv2d_4bit_ch_cont_100b_size(uint32_t kernel, uint32_t filters);
// 8-bit, with m = n rounded up to 8: K 1: 2 ceil(n/24); 3: 6m/8; 4: 12m/8; 5: 20m/8; 7: 56m/8;
// other K: "ch_cont_size: Unexpected kernel size.".
uint32_t ch_cont_size(uint32_t kernel, uint32_t filters);
// ch_cont_size for 8-bit weights, else the 4-bit rule.
uint32_t conv2d_ch_cont_100b_size(uint32_t kernel, uint32_t filters, uint8_t bits);

// Conv2D, 100-bit words of the whole NP: per-channel size x c.
uint32_t conv2d_cnp_formatted_4bit_weight_100b_size(uint32_t kernel, uint32_t filters, uint32_t channels);
uint32_t conv2d_cnp_formatted_weight_100b_size(uint32_t kernel, uint32_t filters, uint32_t channels, uint8_t bits);

// Conv2D, transfer words of the whole NP. 4-bit: 4 x the 100-bit size. 8-bit: the 100-bit
// size x 3 (x 4 for K 7), XL-rounded.
uint32_t conv2d_cnp_formatted_4bit_weight_32b_size(uint32_t kernel, uint32_t filters, uint32_t channels);
uint32_t conv2d_cnp_formatted_weight_32b_size(uint32_t kernel, uint32_t filters, uint32_t channels, uint8_t bits);

// DepthwiseConv2D, 100-bit words. 4-bit: K 3: ceil(n/2); 5: ceil(3n/2); 7: ceil(7n/2); other K:
// "Invalid kernel size.". 8-bit: K 3: n; 4: 2n; 5: 3n; 7: 7n; other K: "ch_cont_size: Unexpected
// kernel size.".
uint32_t dwc_4bit_ch_cont_100b_size(uint32_t kernel, uint32_t channels);
uint32_t dwc_ch_cont_100b_size(uint32_t kernel, uint32_t channels, uint8_t bits);

// DepthwiseConv2D, transfer words. 4-bit: K 3: 2n; 5: 6n; 7: 14n, always rounded up to a multiple
// of 16 (the packer's own output is not); other K: "Invalid kernel size.". 8-bit: 3 x the
// 100-bit size, XL-rounded.
uint32_t dwc_cnp_formatted_4bit_weight_32b_size(uint32_t kernel, uint32_t channels);
uint32_t dwc_cnp_formatted_weight_32b_size(uint32_t kernel, uint32_t channels, uint8_t bits);

// Where the packed weights go. bits 4: target 0 (four-word form) for any kernel size. Other
// widths take the 8-bit layout's target: 1 (three-word form), except Conv2D K 7: 0; a kernel
// size without an 8-bit layout (Conv2D: 1, 3, 4, 5, 7; depthwise: 3, 4, 5, 7) throws
// "cnp_weight_format: Unexpected kernel size.".
dma::Target conv2d_dma_target(uint32_t kernel, uint8_t bits);
dma::Target dwc_dma_target(uint32_t kernel, uint8_t bits);

}  // namespace ornix::v2
