#pragma once

// Payloads of a Dense1D layer's FNP program besides its registers: the input-shift block (DMA
// target 2) and the FNP memory image (DMA target 6 on an FNP3, the external filters track on an
// FNP2). Both follow the input slots of fnp_input_slots.h and are sized by fnp_sizes.h, so that
// they agree with the registers. Byte payloads are little-endian inside each 32-bit word; every
// word not written is 0. The results are owned by the caller; on failure nothing is returned.

#include <cstdint>
#include <span>
#include <vector>

#include "backend/v2/fnp_input_layout.h"
#include "ornix/layer.h"
#include "ornix/shape.h"
#include "ornix/tensor.h"

namespace ornix::v2 {

// One unsigned 8-bit shift per input slot of `shape` in `padding`, padding slots 0: the shift of
// the value of flat index k is element k of `input_shift` in storage order. The row layouts give
// ceil(slots / 4) words rounded up to an even count; Packed is format_input_shift(input_shift)
// (shift_lut_format.h), every value of the tensor.
//
// Failures: those of fnp_input_slots; a row layout whose input has more values than
// `input_shift`, std::invalid_argument "The input shift holds N values but M are read from
// index 0."; an element type other than uint8, uint4 or uint2 panics in the engine.
std::vector<uint32_t> format_input_shift_fnp(const Dense& input_shift, const Shape& shape, InputPadding padding,
                                             uint8_t input_bits);

// The FNP memory image of `layer`, a Dense1D, for its FNP input shape (get_fnp_input_dim with
// `flat_input`): get_layer_word_size words, neuron n (n below dimension 1 of "weights") at word
// n x nw, nw = get_neuron_word_size. Per neuron:
//   word 0: [31:24] "max_value_shift" | [23:16] "max_value" | [15:8] "bias_shift" | [7:0] "bias"
//   word 1: [31:16] 0 | [15:8] "output_shift" | [7:0] "output_scales"
//   words 2 on: its weights (format_fnp_input_words).
// The max fields stay 0 when the layer has neither max variable.
//
// Failures: `weights_bits` other than 4 or 8, std::runtime_error "Wrong weight bitwidth at FNP
// recording."; a layer with only one of "max_value" and "max_value_shift",
// std::invalid_argument; a missing variable (std::invalid_argument), a per-neuron variable
// shorter than the neurons (panic "Coordinates are out-of-range") or of the wrong element type
// ("bias" and "output_shift" signed 8-bit, the others unsigned 8-bit; panic), and the failures
// of the sizes and of format_fnp_input_words pass through.
std::vector<uint32_t> format_fnp_ram(const Layer& layer, bool flat_input, InputPadding padding, uint8_t input_bits,
                                     uint8_t weights_bits);

// Writes the weights of `neuron` into its area of `ram` (the whole image), from word 2 on: one
// weight per input slot in slot order, the low `weights_bits` bits of the signed 8-bit element
// [k][neuron] of `weights` (read through its strides; padding slots weight 0), packed from the
// least significant bit of a byte upward, 8 / `weights_bits` to a byte. With ChannelRowAligned
// every weight takes a whole byte. Bits of padding slots are left as they are.
//
// Failures: `weights_bits` other than 4 or 8, std::runtime_error "Wrong weight bitwidth at FNP
// recording."; an area (get_neuron_word_size words at neuron x nw) that `ram` does not hold,
// std::out_of_range; the failures of fnp_input_slots and of the sizes; a weight coordinate past
// the tensor's shape panics "Coordinates are out-of-range", an element type other than int8,
// int4, int2 or bit panics in the engine.
void format_fnp_input_words(std::span<uint32_t> ram, uint32_t neuron, const Dense& weights, uint8_t weights_bits,
                            const Shape& shape, InputPadding padding, uint8_t input_bits);

}  // namespace ornix::v2
