#pragma once

// Mesh-information registers (offsets from the top register block base) and the NP
// descriptor word, lowest bit first.

#include <cstdint>

#include "hardware/register_io.h"

namespace ornix::hw {

inline constexpr uint32_t kMeshGeometryOffset = 0x50;
inline constexpr BitField kMeshRows{0, 8};
inline constexpr BitField kMeshCols{8, 8};
inline constexpr BitField kMeshRow1FirstCol{16, 8};  // 0 counts as 1
inline constexpr BitField kMeshRow2FirstCol{24, 8};  // 0 counts as 1

inline constexpr uint32_t kMeshDmaOffset = 0x54;
inline constexpr BitField kMeshNpsPerNode{0, 3};
inline constexpr BitField kMeshDmaNodeWithoutNps{4, 1};
inline constexpr BitField kMeshDmaRow{8, 8};
inline constexpr BitField kMeshDmaCol{16, 8};
inline constexpr BitField kMeshDmaEventId{24, 4};
inline constexpr BitField kMeshDmaConfId{28, 4};

inline constexpr uint32_t kMeshExtraNodeOffset = 0x58;
inline constexpr BitField kMeshExtraRow{0, 8};
inline constexpr BitField kMeshExtraCol{8, 8};
inline constexpr BitField kMeshLastRowLastCol{24, 8};

// Generation 2 only.
inline constexpr uint32_t kMeshSkipDmaOffset = 0x64;
inline constexpr BitField kMeshSkipDmaMask{0, 16};  // bit k (1..15): an engine in column k
inline constexpr BitField kMeshSkipDmaChannels{24, 8};

inline constexpr uint32_t kMeshHrcOffset = 0x68;
inline constexpr BitField kMeshHasHrc{4, 1};
inline constexpr BitField kMeshHrcHasLut{6, 1};

inline constexpr uint32_t kMeshInputSramOffset = 0x70;   // whole word: input SRAM units
inline constexpr uint32_t kMeshWeightSramOffset = 0x74;  // whole word: filter SRAM units
// Bytes = units * factor / 16, the product taken modulo 2^32.
inline constexpr uint32_t kInputSramUnitFactor = 32;
inline constexpr uint32_t kWeightSramUnitFactor = 100;
inline constexpr uint32_t kSramUnitDivisor = 16;

// NP descriptor word.
inline constexpr BitField kNpFnpKind{4, 2};  // 2: FNP2, 3: FNP3
inline constexpr BitField kNpCnpKind{6, 2};  // 1: CNP1, 2: CNP1 and CNP2
inline constexpr BitField kNpTnpB{8, 1};     // generation 2 only
inline constexpr BitField kNpTnpR{9, 1};     // generation 2 only
inline constexpr BitField kNpHasLut{10, 1};

// Identifier id of a skip-DMA engine in its node.
inline constexpr uint8_t kSkipDmaId = 3;

}  // namespace ornix::hw
