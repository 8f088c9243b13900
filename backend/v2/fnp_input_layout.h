#pragma once

// How the input of a Dense1D layer is laid out in the FNP input memory.
//
// The input is the layer's first input Shape: x (width), y (height), c (channels), each value
// `input_bits()` wide. A layout fits when it needs at most 2048 value slots.

#include <cstdint>

#include "ornix/layer.h"
#include "ornix/shape.h"

namespace ornix::v2 {

// The FNP input layout, in 32-bit words of the FNP input memory.
enum class InputPadding : uint32_t {
  Unfit = 0,              // no layout holds the input
  Packed = 1,             // the x*y*c values back to back; only the end is padded to a word
  RowAligned = 2,         // row by row, the x values of each channel (a line) in turn; each line
                          // starts on a byte, each row on a word
  ChannelRowAligned = 3,  // as RowAligned, each line starting on a word (8-bit inputs and weights)
};

// The layout of the layer's input. With `flat_input` the input is one flat vector: Packed when
// it fits. Otherwise the layer's first inbound layer is asked what feeds it: after a CNP or
// TNP-B layer, ChannelRowAligned when inputs and "weights_bits" are both 8 and it fits, else
// RowAligned when it fits; after an HRC layer RowAligned when it fits; after anything else
// Packed when it fits. A layer without a first inbound layer, or fed by the model's input
// layer, is taken as flat. Unfit when the chosen form does not fit.
// std::runtime_error "Error when formatting the FNP inputs, the padding is undefined." when the
// first input Shape does not have three dimensions.
InputPadding get_fnp_supported_padding(const Layer& layer, bool flat_input);

// The input Shape the FNP reads: (1, 1, x*y*c) when `flat_input`, or when the layer has no
// first inbound layer or is fed by the model's input layer (the values then arrive as one
// vector, as the layer is recorded); otherwise the first input Shape unchanged. A zero product
// panics "Cannot have a shape with a dimension set to 0".
Shape get_fnp_input_dim(const Layer& layer, bool flat_input);

}  // namespace ornix::v2
