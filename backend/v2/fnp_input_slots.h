#pragma once

// The order in which an FNP input memory holds the values of a Dense1D layer's input, one slot
// per value, as its input shifts and its neurons' weights follow it.

#include <cstdint>
#include <limits>
#include <vector>

#include "backend/v2/fnp_input_layout.h"
#include "ornix/shape.h"

namespace ornix::v2 {

// A slot that holds no input value: line or row padding.
inline constexpr uint32_t kFnpPaddingSlot = std::numeric_limits<uint32_t>::max();

// The slots of an input of `shape` (x, y, c = dimensions 0, 1, 2; the FNP input shape of
// get_fnp_input_dim) in `padding`, in memory order. Entry i is the flat index k = (x Y + y) K + c
// of the value that slot i holds (x slowest, c fastest, for Y rows and K channels), or
// kFnpPaddingSlot:
//   - Packed: the c values k = 0 .. c - 1;
//   - RowAligned: row by row, channel by channel, the x values of the line, each line padded to
//     a multiple of 8 / `input_bits` slots (a byte), each row to 32 / `input_bits` (a word);
//   - ChannelRowAligned (8-bit inputs): as RowAligned, each line padded to a multiple of 4.
// Failures (std::runtime_error): Unfit or an unknown layout, "Unsupported padding."; RowAligned
// with an input width other than 1, 2, 4 or 8 bits, "Error when formatting the FNP inputs, the
// padding is undefined."; ChannelRowAligned with inputs other than 8 bits, "Wrong input_bits at
// FNP recording."; a row layout of more than 2^32 - 1 values panics "Tensor shape size N exceeds
// maximum shape size (4294967295)".
std::vector<uint32_t> fnp_input_slots(const Shape& shape, InputPadding padding, uint8_t input_bits);

}  // namespace ornix::v2
