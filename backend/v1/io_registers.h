#pragma once

// The chip-level input/output registers of a generation-1 sequence: the SCC block written at
// the start of its first pass, and the EPG register list kept in its program information.
// Fields are named after the register's byte address (SCC) or offset (EPG), lowest bit first.

#include <cstdint>

#include "program/register_field.h"

namespace ornix::v1 {

// SCC registers, written one word each at these addresses, in this order; 0x40 and 0x44 only
// when the input (resp. output) type is 0.
inline constexpr uint16_t kSccControlAddress = 0x04;
inline constexpr uint16_t kSccInputAddress = 0x40;
inline constexpr uint16_t kSccOutputAddress = 0x44;

// 0x04: [0] input not from the HRC | [3] output type 0 | [4] input type 0 | [8] HRC only
inline constexpr RegDetail SCC04_INPUT_NOT_HRC{0, 1};
inline constexpr RegDetail SCC04_OUTPUT_TYPE_0{3, 1};
inline constexpr RegDetail SCC04_INPUT_TYPE_0{4, 1};
inline constexpr RegDetail SCC04_HRC_ONLY{8, 1};
// 0x40: [17:0] input channels
inline constexpr RegDetail SCC40_INPUT_CHANNELS{0, 18};
// 0x44: [19:0] output channels x rows | [30:20] output channels. The whole word stays 0 for a
// 1 x 1 output plane.
inline constexpr RegDetail SCC44_OUTPUT_PLANE{0, 20};
inline constexpr RegDetail SCC44_OUTPUT_CHANNELS{20, 11};

// EPG registers: byte offset and the value before any field is written, in writing order.
struct EpgRegister {
  uint32_t offset;
  uint32_t fixed;
};
inline constexpr EpgRegister kEpgControl{0x00, 0x00020200};
inline constexpr EpgRegister kEpgPasses{0x0C, 0x00000010};
inline constexpr EpgRegister kEpgColumns{0x10, 0x00000001};
inline constexpr EpgRegister kEpg14{0x14, 0x00000000};
inline constexpr EpgRegister kEpg18{0x18, 0x00FE0001};
inline constexpr EpgRegister kEpg1C{0x1C, 0x027FFFFF};

// 0x00: [1] the sequence starts on a flat FNP input | [12] input type 0
inline constexpr RegDetail EPG00_FLAT_INPUT{1, 1};
inline constexpr RegDetail EPG00_INPUT_TYPE_0{12, 1};
// 0x0C: the whole word when the sequence has several passes
inline constexpr uint32_t kEpgSeveralPasses = 0x012C0010;
// 0x10: [23:16] lowest column | [31:24] highest column
inline constexpr RegDetail EPG10_COL_LOW{16, 8};
inline constexpr RegDetail EPG10_COL_HIGH{24, 8};
// 0x14: [15:8] EPG byte
inline constexpr RegDetail EPG14_EPG_BYTE{8, 8};
// 0x18: [31:24] EPG byte
inline constexpr RegDetail EPG18_EPG_BYTE{24, 8};

}  // namespace ornix::v1
