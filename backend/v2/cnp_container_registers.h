#pragma once

// The input-container and filter fields of one CNP's register block that depend on whether the
// convolution is a standard or a depthwise one, written after the common configuration
// (cnp_register_format.h). Fields in cnp_registers.h and conv2d_registers.h.
//
// Notation: the NP computes n filters (channels) from `first`; its split window holds NC
// channels and a padded input of PW x PH; ib = input bits; R = ceil(ib x PW / 8) rounded up to
// a multiple of 4 (bytes of one padded input row of one channel). Values are computed in 64
// bits: a value wider than its field panics "Attempted to write value V into a W-bit field,
// which will cause an overflow." with its full value; the block may then be partly written.

#include <cstdint>

#include "backend/v2/np_register_block.h"
#include "program/np_split.h"

namespace ornix::v2 {

// Standard convolution: word 4 (R x NC / 4, low 27 bits) x PH; word 11 the channel container
// of n filters of `kernel_size` at `weights_bits`; word 21 n; word 28 R (bits 16-31) and
// R x NC / 4 (bits 0-13); word 29 ceil(n / 8).
void write_conv_containers(NpRegisterBlock regs, const NpWindowGeometry& window, uint8_t input_bits, int kernel_size,
                           uint32_t filters, uint8_t weights_bits);

// Depthwise convolution, with row_words = ceil(ib x PW / 32): word 3 bit 2; word 4 as the
// standard form; when n < `input_channels`, the channel group (word 3 bit 10, word 22 first and
// n); word 11 the depthwise channel container of n channels; word 28 4 x PH x row_words (bits
// 16-31) and row_words (bits 0-13); word 29 1. Word 21 is not written.
void write_depthwise_containers(NpRegisterBlock regs, const NpWindowGeometry& window, uint8_t input_bits,
                                int kernel_size, uint32_t first, uint32_t channels, uint32_t input_channels,
                                uint8_t weights_bits);

}  // namespace ornix::v2
