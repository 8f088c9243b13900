#pragma once

// Sizes of the generation-1 CNP input and weight memories.
//
// Weight sizes count u32 transfer words (two per 50-bit weight word); input sizes count 32-bit
// words. Weight sizes are computed in unsigned 32-bit arithmetic: callers pass counts within the
// hardware limits. Input sizes are computed in 64 bits, which hold the size of any input a tensor
// holds: the checks size inputs of any dimensions. round16 rounds up to a multiple of 16 words,
// ceil8 a filter count up to a multiple of 8.

#include <cstdint>

#include "mapping/hardware_constraints.h"
#include "ornix/layer.h"

namespace ornix::v1 {

// Bytes of one row of one input channel: (bits x width + 7) / 8.
uint64_t get_cnp_channel_container_size(uint64_t width, uint8_t bits);

// Input SRAM words: ((channels x container x 8 + 31) / 32) x rows.
uint64_t get_cnp_input_sram_size(uint64_t container, uint64_t channels, uint64_t rows);

// Weight words of a standard CNP holding `filters` filters of `channels` input channels.
// 1- and 2-bit weights: kernel widths 1 to 7 (2, 4 and 6 give 0); 4-bit weights: 1, 3, 5, 7.
// Another kernel throws std::runtime_error "Unsupported kernel size"; another weight width
// gives 0xFFFFFFFF.
uint32_t get_std_cnp_sram_size(uint32_t kernel, uint32_t channels, uint32_t filters, int weights_bits);

// Weight words of the depthwise kernels of `channels` channels: the stream's words rounded up
// to 16. std::invalid_argument when a kernel row (weights_bits x kernel bits) is empty or wider
// than a 50-bit word.
uint32_t get_dw_weights_sram_size(int kernel, uint32_t channels, int weights_bits);
// Words of the depthwise stream itself: with n = 50 / (wb x k) rows a slot, ceil(k / n) slots a
// channel when n < 2k, else n / k kernels a slot. Same errors.
uint32_t dw_weights_stream_words(int kernel, uint32_t channels, int weights_bits);

// 50-bit words (slots) of one pointwise input channel of `filters` filters.
uint32_t get_nb_words_per_pw_channel(uint32_t filters, int weights_bits);

// Depthwise words plus channels x pointwise slots x 2.
uint32_t get_sep_cnp_sram_size(uint32_t kernel, uint32_t channels, uint32_t filters, int weights_bits);

// Weight words of one NP holding `filters` filters of a Convolutional or SeparableConvolutional
// layer (its "kernel_width", "weights_bits" and third input dimension), rounded up to a
// multiple of 16 when a block that size needs the extra-large DMA header. Other layer types
// throw std::invalid_argument "Unexpected layer type for CNP".
uint32_t get_weights_size(const Layer& layer, uint32_t filters);

// Whether those weights fit one CNP: for a standard layer (words / channels) / 4 stays below
// 1024, and for both types words / 2 is at most the CNP weight memory budget (50-bit words).
bool check_weights_size_fit_cnp(const HardwareConstraints& constraints, const Layer& layer, uint32_t filters);

}  // namespace ornix::v1
