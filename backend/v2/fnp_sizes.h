#pragma once

// Sizes of a Dense1D layer on an FNP: its input memory, its input-shift memory and its FNP SRAM
// (neuron parameters and weights).
//
// x, y, c are dimensions 0, 1, 2 of the Shape given; bits are value widths. All arithmetic is
// unsigned 32-bit: callers pass layers that passed the Dense1D check, whose input fits 2048
// slots. Every function taking an InputPadding throws std::runtime_error "Unsupported padding."
// for Unfit and for any value outside Packed..ChannelRowAligned; those whose formulas group
// values into bytes (RowAligned and ChannelRowAligned shifts, RowAligned neurons) throw
// std::runtime_error "Error when formatting the FNP inputs, the padding is undefined." for an
// input width other than 1, 2, 4 or 8 bits.

#include <cstdint>

#include "backend/v2/fnp_input_layout.h"
#include "ornix/layer.h"
#include "ornix/shape.h"
#include "ornix/tensor.h"

namespace ornix::v2 {

// 24-bit input-shift words, eight 3-bit shifts to a word: Packed, one per value of
// `input_shift`; the row layouts, one per value slot of `input` laid out.
uint32_t fnp_input_shift_24b_size(const Dense& input_shift, const Shape& input, InputPadding padding,
                                  uint8_t input_bits);

// 32-bit words of an input of `rows` x `width` x `channels` values of `bits` bits in `padding`.
uint32_t get_fpksram_size(uint32_t rows, uint32_t width, uint32_t channels, uint8_t bits, InputPadding padding);

// 32-bit words of the layer's FNP input memory, in the layout and shape of `flat_input`
// (get_fnp_supported_padding, get_fnp_input_dim).
uint32_t get_fnp_input_size(const Layer& layer, bool flat_input);

// 32-bit FNP SRAM words of one neuron: its two parameter words and one `weights_bits` weight
// per value slot of `input` (for Packed, c is the flat input length).
uint32_t get_neuron_word_size(const Shape& input, InputPadding padding, uint8_t input_bits, uint8_t weights_bits);

// get_neuron_word_size times the neurons, dimension 1 of `weights` (inputs, neurons).
uint32_t get_layer_word_size(const Dense& weights, uint8_t weights_bits, const Shape& input, InputPadding padding,
                             uint8_t input_bits);

// 32-bit words of the layer's FNP SRAM as programmed, in the layout the FNP gets from its
// inbound layer (not flat): rounded up to a multiple of 16 when a block of that size needs the
// extra-large DMA header. The layer has "weights" and "weights_bits".
uint32_t get_fnp_sram_size(const Layer& layer);

}  // namespace ornix::v2
