#pragma once

// Payloads of a Dense1D layer's FNP program besides its registers: the input-shift block (DMA
// target 2) and the FNP memory image (DMA target 6 on an FNP3, the external filters track on an
// FNP2). Both follow the input slots of fnp_input_slots.h and are sized by fnp_sizes.h, so that
// they agree with the registers. Byte payloads are little-endian inside each 32-bit word; every
// word not written is 0. The results are owned by the caller; on failure nothing is returned.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "backend/v2/fnp_input_layout.h"
#include "backend/v2/fnp_neuron_parameters.h"
#include "backend/v2/fnp_weight_words.h"
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
//   words 0 and 1: its parameters (fnp_neuron_parameters.h);
//   words 2 on: its weights (fnp_weight_words.h).
//
// Every check runs on construction, so that the image is sized and can be written in place
// without failing. Failures, in this order: `weights_bits` other than 4 or 8,
// std::runtime_error "Wrong weight bitwidth at FNP recording."; a missing variable
// (std::invalid_argument); a layer with only one of "max_value" and "max_value_shift",
// std::invalid_argument; the failures of the sizes and of fnp_input_slots; weights that are
// not 8-bit signed elements or miss an input a slot reads (panic); then, neuron by neuron and
// in the order of the words above, a per-neuron variable of the wrong element type ("bias" and
// "output_shift" signed 8-bit, the others unsigned 8-bit; panic) or shorter than the neurons
// (panic "Coordinates are out-of-range"). The image holds the variables it reads.
class FnpRamImage {
 public:
  FnpRamImage(const Layer& layer, bool flat_input, InputPadding padding, uint8_t input_bits, uint8_t weights_bits);

  // 32-bit words of the image.
  size_t words() const { return words_; }

  // Writes the image into `image`, zero-filled: its first words() words; a shorter span throws
  // std::out_of_range.
  void write(std::span<uint32_t> image) const;

 private:
  // In the order of the checks.
  std::shared_ptr<const Dense> weights_;
  FnpNeuronParameters parameters_;
  Shape shape_;
  size_t words_;
  uint32_t neuron_words_;
  FnpWeightWords weight_words_;
  uint32_t neurons_;
};

// The image of FnpRamImage as a vector of its words.
std::vector<uint32_t> format_fnp_ram(const Layer& layer, bool flat_input, InputPadding padding, uint8_t input_bits,
                                     uint8_t weights_bits);

// Writes the weights of `neuron` into its area of `ram` (the whole image), from word 2 on, as
// fnp_weight_words.h lays them out. Bits of padding slots are left as they are.
//
// Failures: `weights_bits` other than 4 or 8, std::runtime_error "Wrong weight bitwidth at FNP
// recording."; an area (get_neuron_word_size words at neuron x nw) that `ram` does not hold,
// std::out_of_range; the failures of fnp_input_slots and of the sizes; a weight coordinate past
// the tensor's shape panics "Coordinates are out-of-range", an element type other than int8,
// int4, int2 or bit panics in the engine.
void format_fnp_input_words(std::span<uint32_t> ram, uint32_t neuron, const Dense& weights, uint8_t weights_bits,
                            const Shape& shape, InputPadding padding, uint8_t input_bits);

}  // namespace ornix::v2
