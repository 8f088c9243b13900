#pragma once

// Fields of the TNP-B register block (np_register_block.h) that only the buffered temporal
// convolutions' builders write. They also write shared fields: REG4_IB_CH_GRP_EN,
// REG11_CHCONT_SIZE, CNP3_CH_ORIG_CUT, CNP3_CH_SIZE_CUT and CNP8_CPK_CHCONT_SIZE
// (cnp_registers.h), REG28_ROW_WORDS and REG29_FILTER_GROUPS (conv2d_registers.h). Fields hold
// only offset and width; bits whose meaning belongs to the NP hardware, which the builders only
// set to a fixed value, are named by their bits.

#include <cstddef>
#include <cstdint>

#include "backend/v2/cnp_registers.h"
#include "backend/v2/np_registers.h"
#include "program/register_field.h"

namespace ornix::v2 {

// Word 1 (kWordControl): set on every TNP-B.
inline constexpr RegDetail REG1_BIT28{28, 1};

// Word 4 (kWordInputContainer): the FIFO entries ("fifo_size").
inline constexpr RegDetail REG4_FIFO_SIZE{0, 16};

// Word 21 (kWordFilterTotal): channels of the NP's input window.
inline constexpr RegDetail REG21_CHANNELS{0, 11};

// Word 30: the FIFO.
inline constexpr std::size_t kWordFifo = 30;
inline constexpr RegDetail REG30_BIT0{0, 1};  // written 0
inline constexpr RegDetail REG30_BIT1{1, 1};  // written 1
inline constexpr RegDetail REG30_FIFO_SIZE{8, 4};
inline constexpr RegDetail REG30_FIFO_FRAMES{16, 4};  // FIFO entries + 1

// Word 56 (kWordNpMode): the NP's input buffer, its padded window with channels rounded up to 4,
// in units of kInputBufferUnitWords 32-bit words.
inline constexpr RegDetail REG56_INPUT_BUFFER{16, 9};
inline constexpr RegDetail REG56_BIT31{31, 1};  // cleared
inline constexpr uint32_t kInputBufferUnitWords = 64;

}  // namespace ornix::v2
