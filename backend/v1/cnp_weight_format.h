#pragma once

// Packers of the generation-1 CNP weights into the weight stream: 50-bit weight words, each
// carried as a 64-bit slot of two u32 words, low word first (bit b of a slot is bit b mod 32 of
// word b / 32 of the slot). The stream sizes are those of cnp_weight_sizes.h. The per-NP
// packers come in three forms: *_words gives the stream's words, with the checks and errors,
// in their order, that the packer meets before it writes anything; pack_* writes the stream
// into zero-filled words of exactly that many (std::out_of_range otherwise), so that a record
// takes it straight into its track; format_* returns a new stream.
//
// Standard kernels are read at (filter, channel, row, column) and depthwise kernels at
// (0, channel, row, column) of a four-dimensional tensor; a pointwise matrix at (channel,
// filter). Tensors are read through their strides and must hold int8-family values (the
// engine panics "Wrong requested type int8 for a tensor of type T." otherwise). Kernels must
// be square: std::runtime_error "CNP: width and height must be equal.". A tensor of another
// rank, or a filter range past its filters, throws std::invalid_argument.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "ornix/tensor.h"

namespace ornix::v1 {

// 1- and 2-bit standard weights of filters first .. first + filters - 1, one block per input
// channel of round16(2 x slots) words. Per filter its k x k positive bits (value 1), row-major,
// then with `two_bit` (always for 1x1) its negative bits (value -1); a group of 3x3 or 7x7 bits
// takes one unused bit more. Groups fill 48 bits (1x1) or 50 bits of a slot, then the next
// slot starts. Kernel widths 2, 4 and 6 give an empty stream; above 7: std::runtime_error
// "Unsupported kernel size".
std::vector<uint32_t> format_std_cnp_weights(std::shared_ptr<const Dense> weights, bool two_bit, uint32_t first_filter,
                                             uint32_t filters);
size_t std_cnp_weight_words(const Dense& weights, bool two_bit, uint32_t first_filter, uint32_t filters);
void pack_std_cnp_weights(const Dense& weights, bool two_bit, uint32_t first_filter, uint32_t filters,
                          std::span<uint32_t> words);

// 4-bit standard weights; code = (|v| mod 8) + 8 when v > 0. One block per input channel (the
// size of get_std_cnp_sram_size for one channel). 1x1: 12 codes a slot in filter order. 3x3,
// 5x5, 7x7: groups of 8 filters (zero codes complete the last) of 6, 16 or 42 slots; in a group
// kernel row by row, then filter, then column; codes fill 48 (3x3) or 50 bits of a slot and may
// straddle two slots; a 7x7 row also starts a new slot after every third filter and at its
// end. Other kernel widths: std::runtime_error "Unsupported kernel size".
std::vector<uint32_t> format_4bits_std_cnp_weights(const Dense& weights, uint32_t first_filter, uint32_t filters);
size_t std_cnp_4bit_weight_words(const Dense& weights, uint32_t first_filter, uint32_t filters);
void pack_4bits_std_cnp_weights(const Dense& weights, uint32_t first_filter, uint32_t filters,
                                std::span<uint32_t> words);

// Depthwise kernels of 2- or 4-bit weights (two's-complement codes; a value out of range panics
// "V cannot fit in a N bits signed integer."). Per channel, per kernel row: the row's codes,
// column 0 lowest, in the current slot or, when it would pass bit 50, at the start of the next;
// a channel starts a new slot when its whole kernel would pass bit 50. Another weight width, or
// a row too wide for a slot: std::invalid_argument.
std::vector<uint32_t> format_sep_cnp_dw_weights(const Dense& weights, int weights_bits);

// Pointwise weights of 2 or 4 bits (two's-complement codes), filters first .. first + filters
// - 1: each input channel gets get_nb_words_per_pw_channel slots, its codes at bits 0, wb,
// 2 wb... up to bit 48, then on in the next slot. Another weight width: std::invalid_argument.
std::vector<uint32_t> format_sep_cnp_pw_weights(const Dense& weights, int weights_bits, uint32_t first_filter,
                                                uint32_t filters);
size_t sep_cnp_pw_weight_words(const Dense& weights, int weights_bits, uint32_t first_filter, uint32_t filters);
void pack_sep_cnp_pw_weights(const Dense& weights, int weights_bits, uint32_t first_filter, uint32_t filters,
                             std::span<uint32_t> words);

}  // namespace ornix::v1
