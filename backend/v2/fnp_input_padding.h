#pragma once

#include <cstdint>

#include "ornix/layer.h"

namespace ornix::v2 {

// How the values of a fully connected layer's input lie in the FNP input memory (32-bit words).
enum class InputPadding : uint32_t {
  Unfit = 0,              // no layout fits: the input is too large
  Packed = 1,             // all values back to back; only the end is padded to a word
  RowAligned = 2,         // row by row, channel after channel; lines start on a byte, rows on a word
  ChannelRowAligned = 3,  // the same, every line on a word (8-bit inputs with 8-bit weights only)
};

// Value slots of the FNP input memory, padding included.
inline constexpr uint32_t kFnpInputSlots = 2048;

// The layout of the layer's first input (width x, height y, channels c) for its "input_bits" and
// its parameter "weights_bits". With `flat_input` the input is one flat vector (Packed when it
// fits); otherwise an input from a CNP or TNP-B (ChannelRowAligned or RowAligned) or from the
// HRC (RowAligned) keeps its rows, as the first inbound layer tells. Unfit when the slots the
// layout needs exceed kFnpInputSlots. std::invalid_argument when "weights_bits" is absent;
// errors of the layer's geometry pass out.
InputPadding get_fnp_supported_padding(const Layer& layer, bool flat_input);

}  // namespace ornix::v2
