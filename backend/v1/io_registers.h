#pragma once

// The chip-level input/output registers of a generation-1 sequence: the SCC block written at
// the start of its first pass, and the EPG register list kept in its program information.
// Fields are named after the register's byte address (SCC) or offset (EPG), lowest bit first.
// The SCC addresses, the input channels and the output plane fields are those of generation 2.

#include <cstdint>

#include "backend/v2/io_registers.h"
#include "program/register_field.h"

namespace ornix::v1 {

// SCC registers, written one word each in this order; 0x40 and 0x44 only when the input (resp.
// output) type is 0.
using v2::kSccControlAddress;
using v2::kSccInputAddress;
using v2::kSccOutputAddress;

// 0x04: [0] input not from the HRC | [3] output type 0 | [4] input type 0 | [8] HRC only
inline constexpr RegDetail SCC04_INPUT_NOT_HRC{0, 1};
inline constexpr RegDetail SCC04_OUTPUT_TYPE_0{3, 1};
inline constexpr RegDetail SCC04_INPUT_TYPE_0{4, 1};
inline constexpr RegDetail SCC04_HRC_ONLY{8, 1};
// 0x44: [19:0] output channels x rows | [30:20] output channels, which must fit. The whole word
// stays 0 for a 1 x 1 output plane.
using v2::SCC44_OUTPUT_CHANNELS;
using v2::SCC44_OUTPUT_PLANE;

// EPG registers (v2::epg_registers writes them): the control word at offset 0 starts from its
// own value; the others are generation 2's.
inline constexpr v2::EpgRegister kEpgControl{0x00, 0x00020200};
// 0x00: [1] the sequence starts on a flat FNP input | [12] input type 0
inline constexpr RegDetail EPG00_FLAT_INPUT{1, 1};
inline constexpr RegDetail EPG00_INPUT_TYPE_0{12, 1};
// 0x0C: the whole word when the sequence has several passes (else v2::kEpg12's)
inline constexpr uint32_t kEpg12SeveralPasses = 0x012C0010;

}  // namespace ornix::v1
