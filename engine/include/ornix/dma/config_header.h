#pragma once

#include <cstdint>

#include "ornix/hw/ident.h"

namespace ornix::dma {

// Destination of a DMA configuration block.
enum class Target : uint32_t {
  CnpWeights = 0,         // generation 1; generation-2 4-bit weights and 8-bit kernel-7 Conv2D
  CnpWeights8bit = 1,     // other 8-bit generation-2 convolution and TNP-B weights
  InputShifts = 2,
  CnpThresholdSteps = 4,  // generation-1 CNP threshold and step words
  ChannelVariables = 5,   // generation-2 per-channel variables
  FnpRam = 6,
  NpRegisters = 7,
  RegisterWrite = 8,      // a register write at the block address
  HrcSram = 9,
  MergeShifts = 10,
  SkipDma = 11,
  Lut = 12,
};

// Two header words precede every block:
//   word 0: [7:0] col | [15:8] row | [23:16] id | [31:24] channel
//   word 1, plain:       [15:0] address | [19:16] target | [20] 0 | [31:21] size (words)
//   word 1, extra-large: [14:0] address | [15] size bit 11 | [19:16] target | [20] 1 |
//                        [31:21] size bits 10:0 (sixteen-word units)
// A plain block carries up to 2047 words; an extra-large one up to 4095 units (65520 words, the
// largest padded block a 65535-word track can hold besides its header) at an address below
// 0x8000.
inline constexpr uint32_t kHeaderWords = 2;
inline constexpr uint32_t kMaxPlainBlockWords = 0x7FF;
inline constexpr uint32_t kXlUnitWords = 16;
inline constexpr uint32_t kMaxXlBlockWords = 0xFFF * kXlUnitWords;
inline constexpr uint32_t kMaxXlAddress = 0x7FFF;

// Whether a block of that many payload words needs the extra-large header.
bool config_block_size_needs_xl(uint32_t words);

// Writes the two header words of a block at `out`. `size` counts payload words (a multiple of
// 16 when `xl`); a size or an address the header cannot carry throws std::invalid_argument and
// writes nothing.
void format_config_header(uint32_t* out, const hw::Ident& ident, Target target, uint32_t size, uint16_t address,
                          bool xl);

}  // namespace ornix::dma
