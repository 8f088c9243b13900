#pragma once

// Fields of a fully connected NP (FNP2, FNP3): the words of the NP register block
// (np_register_block.h) that the Dense1D recording writes over the defaults, and the two
// parameter words that open every neuron's area of the FNP memory image. Each word's index
// constant precedes its fields; the fields hold only offset and width, lowest bit first.
//
// The FNP names live in their own namespace: several words carry, for a CNP, fields of the
// same word number but another meaning (cnp_registers.h). Bits whose meaning belongs to the NP
// hardware and which the recording only sets to a fixed value are named by their bits.

#include <cstddef>
#include <cstdint>

#include "program/register_field.h"

namespace ornix::v2::fnp {

// Word 1: control.
inline constexpr std::size_t kWordControl = 1;
inline constexpr RegDetail REG1_BIT4{4, 1};              // fixed 1
inline constexpr RegDetail REG1_BIT20{20, 1};            // fixed 0
inline constexpr RegDetail REG1_SINGLE_BUFFER{22, 1};    // the input memory is one buffer
inline constexpr RegDetail REG1_INTERNAL_MEMORY{24, 1};  // 1 on an FNP3, 0 on an FNP2
inline constexpr RegDetail REG1_BIT25{25, 1};            // fixed 0

// Word 3: data widths. Width codes: 2 for 4 bits, 3 for 8 bits (outputs: 8 to 32 bits).
inline constexpr std::size_t kWordFormats = 3;
inline constexpr RegDetail REG3_INPUT_CODE{0, 2};
inline constexpr RegDetail REG3_BIT3{3, 1};          // fixed 0
inline constexpr RegDetail REG3_WEIGHTS_CODE{4, 2};
inline constexpr RegDetail REG3_BIT7{7, 1};          // fixed 1
inline constexpr RegDetail REG3_OUTPUT_CODE{12, 2};
inline constexpr RegDetail REG3_UNRECTIFIED{14, 1};  // output of at most 8 bits without activation
inline constexpr RegDetail REG3_ACTIVATION{15, 1};
inline constexpr RegDetail REG3_BITS16_23{16, 8};    // fixed 1
inline constexpr uint32_t kCode4Bits = 2;
inline constexpr uint32_t kCode8Bits = 3;

// Word 10: the FNP input shape, rows (y) and columns (x).
inline constexpr std::size_t kWordInputShape = 10;
inline constexpr RegDetail REG10_INPUT_ROWS{0, 11};
inline constexpr RegDetail REG10_INPUT_COLUMNS{16, 11};

// Word 11: bytes L of one input line (x values of one channel); 0 for a packed input.
inline constexpr std::size_t kWordLine = 11;
inline constexpr RegDetail REG11_LINE_BYTES{12, 18};

// Word 14: the input memory.
inline constexpr std::size_t kWordInputMemory = 14;
inline constexpr RegDetail REG14_INPUT_WORDS{0, 15};  // 32-bit words of the laid-out input
inline constexpr RegDetail REG14_BIT29{29, 1};        // fixed 1
inline constexpr RegDetail REG14_BIT30{30, 1};        // fixed 0
inline constexpr RegDetail REG14_BIT31{31, 1};        // fixed 1

// Word 15: the neurons and the FNP memory words of each.
inline constexpr std::size_t kWordNeurons = 15;
inline constexpr RegDetail REG15_NEURONS{0, 16};
inline constexpr RegDetail REG15_NEURON_WORDS{16, 15};

// Word 16: bits 0-17 fixed 0.
inline constexpr std::size_t kWordBits16 = 16;
inline constexpr RegDetail REG16_BITS0_17{0, 18};

// Word 17: the FNP memory. FNP2: fixed kExternalMemoryValue; FNP3: the image's words modulo the
// FNP3 budget.
inline constexpr std::size_t kWordMemory = 17;
inline constexpr RegDetail REG17_MEMORY_WORDS{0, 16};
inline constexpr RegDetail REG17_INTERNAL_MEMORY{20, 4};  // 1 on an FNP3, 0 on an FNP2
inline constexpr uint32_t kExternalMemoryValue = 5;

// Word 28: the input rows.
inline constexpr std::size_t kWordRow = 28;
inline constexpr RegDetail REG28_ROW_WORDS{0, 14};    // 32-bit words of one input row; 0 packed
inline constexpr RegDetail REG28_LINE_BYTES{16, 16};  // L again

// Word 36: bit 28 cleared by the recorder.
inline constexpr std::size_t kWordBits36 = 36;
inline constexpr RegDetail REG36_BIT28{28, 1};

// FNP memory image, the two parameter words of neuron n.
// Word 0: [31:24] max value shift | [23:16] max value | [15:8] bias shift | [7:0] bias (signed).
inline constexpr RegDetail BIAS{0, 8};
inline constexpr RegDetail BIAS_SHIFT{8, 8};
inline constexpr RegDetail MAX_VALUE{16, 8};
inline constexpr RegDetail MAX_VALUE_SHIFT{24, 8};
// Word 1: [31:16] 0 | [15:8] output shift (signed) | [7:0] output scale.
inline constexpr RegDetail OUTPUT_SCALES{0, 8};
inline constexpr RegDetail OUTPUT_SHIFT{8, 8};

}  // namespace ornix::v2::fnp
