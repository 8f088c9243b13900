#pragma once

// The memory image of a FullyConnected layer on a generation-1 FNP.
//
// N neuron blocks of B = 4 + ceil(I / 32) x P words (P = 1 for 1-bit weights, else
// 2 x (bits - 1)), neuron n at word n x B:
//   word 0        [19:0] threshold, 20-bit two's complement (0x80000 without activation)
//   word 1        [19:0] step, in sixteenths of an act_step (0 without activation)
//   words 2, 3    0 (the learning formatter's)
//   then          positive group: per chunk of 32 inputs, M = max(bits - 1, 1) words, word m
//                 holding at bit (i mod 32) bit m of the weight of input i when it is >= 0
//   then          negative group (bits >= 2): the same for -w of the weights below 0.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "ornix/tensor.h"

namespace ornix::v1 {

// `weights` (neurons, inputs), int8-family, read through its strides; `threshold` and `steps`
// int32, one value per neuron (read only with `activation`). A threshold outside the 20-bit
// signed range panics "T cannot fit in a 20 bits signed integer."; a step above 0xFFFFF throws
// FnpError "act_step should be between 0 and 65535. Receives act_step S." (S = step / 16); a
// negative 1-bit weight has no place in the image: FnpError. Another rank, a width below 1 or
// per-neuron tensors shorter than the neurons: std::invalid_argument. Wrong element types
// panic in the engine.
std::vector<uint32_t> format_fnp_ram(const Dense& weights, const Dense& threshold, const Dense& steps, int bits,
                                     bool activation);

// The words of that image; another rank or a width below 1: std::invalid_argument.
size_t fnp_ram_words(const Dense& weights, int bits);
// Writes the image into `image`, zero-filled and fnp_ram_words long (std::out_of_range when
// shorter), failing as format_fnp_ram does.
void write_fnp_ram(std::span<uint32_t> image, const Dense& weights, const Dense& threshold, const Dense& steps,
                   int bits, bool activation);

}  // namespace ornix::v1
