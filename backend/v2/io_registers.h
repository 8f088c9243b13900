#pragma once

// The chip-level input/output registers of a generation-2 sequence: the SCC block written at
// the start of its first pass, and the EPG register list kept in its program information.
// Fields are named after the register's byte address (SCC) or offset (EPG), lowest bit first.

#include <cstdint>

#include "program/register_field.h"

namespace ornix::v2 {

// SCC registers, written one word each at these addresses.
inline constexpr uint16_t kSccControlAddress = 0x04;
inline constexpr uint16_t kSccInputAddress = 0x40;
inline constexpr uint16_t kSccOutputAddress = 0x44;

// 0x04: [0] input not from the HRC | [4:3] fixed 0b11 | [20] output bits flag
inline constexpr RegDetail SCC04_INPUT_NOT_HRC{0, 1};
inline constexpr uint32_t kScc04Fixed = 0x18;
inline constexpr RegDetail SCC04_OUTPUT_BITS{20, 1};
// 0x40: [17:0] input channels
inline constexpr RegDetail SCC40_INPUT_CHANNELS{0, 18};
// 0x44: [19:0] output channels x rows | [30:20] output channels (only below 2048)
// The whole word stays 0 for a 1 x 1 output plane.
inline constexpr RegDetail SCC44_OUTPUT_PLANE{0, 20};
inline constexpr RegDetail SCC44_OUTPUT_CHANNELS{20, 11};

// EPG registers: byte offset and the value before any field is written, in writing order.
struct EpgRegister {
  uint32_t offset;
  uint32_t fixed;
};
inline constexpr EpgRegister kEpgControl{0, 0x00021200};
inline constexpr EpgRegister kEpg12{12, 0x00000010};
inline constexpr EpgRegister kEpgColumns{16, 0x00000001};
inline constexpr EpgRegister kEpg20{20, 0x00000000};
inline constexpr EpgRegister kEpg24{24, 0x00FE0001};
inline constexpr EpgRegister kEpg28{28, 0x027FFFFF};

// offset 0: [1] the sequence starts on an FNP | [16] HRC only
inline constexpr RegDetail EPG00_FNP_INPUT{1, 1};
inline constexpr RegDetail EPG00_HRC_ONLY{16, 1};
// offset 16: [23:16] lowest column | [31:24] highest column
inline constexpr RegDetail EPG16_COL_LOW{16, 8};
inline constexpr RegDetail EPG16_COL_HIGH{24, 8};
// offset 20: [15:8] EPG byte
inline constexpr RegDetail EPG20_EPG_BYTE{8, 8};
// offset 24: [31:24] EPG byte
inline constexpr RegDetail EPG24_EPG_BYTE{24, 8};

}  // namespace ornix::v2
