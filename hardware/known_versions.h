#pragma once

#include <cstdint>

#include "ornix/hw_version.h"

namespace ornix {

// Product id of the generation-2 devices.
inline constexpr uint8_t kProductIdV2 = 0xA2;

// The first SoC revision; the generation-1 checker refuses its layers.
inline constexpr HwVersion kVamoV1{0xD3, 0x00, 0x00, 0x01};
// The SoC revision whose mesh registers do not give the last column of the last row.
inline constexpr HwVersion kVamoV2{0xD3, 0x00, 0x00, 0x02};

}  // namespace ornix
