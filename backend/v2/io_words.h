#pragma once

// The SCC words and EPG registers that both generations write alike (fields in
// io_registers.h). A value wider than its field panics with the field-overflow text.

#include <cstdint>

#include "mapping/io_recorder.h"
#include "ornix/shape.h"

namespace ornix::v2 {

// 0x40: the input's channels (index 2 of `input`), 18 bits.
uint32_t scc_input_word(const Shape& input);

// The output's channels x rows, formed in 64 bits so that a wrapped product cannot pass as a
// small plane, checked against the 20-bit plane field.
uint32_t scc_output_plane(const Shape& output);

// The six EPG registers, in writing order: offset 0 `control`, 12 `word_12`, 16 the column
// range, 20 and 24 the EPG byte, 28 its fixed value.
RegisterWrites epg_registers(uint32_t control, uint32_t word_12, uint8_t col_low, uint8_t col_high, uint8_t epg_byte);

}  // namespace ornix::v2
