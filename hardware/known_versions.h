#pragma once

#include <cstdint>

#include "ornix/hw_version.h"

namespace ornix {

// Product id of the generation-2 devices.
inline constexpr uint8_t kProductIdV2 = 0xA2;

// Named device versions. kVamoV2 is also the SoC revision whose mesh registers do not give the
// last column of the last row.
inline constexpr HwVersion kVamoV1{0xD3, 0x00, 0x00, 0x01};
inline constexpr HwVersion kVamoV2{0xD3, 0x00, 0x00, 0x02};
inline constexpr HwVersion kTarvikV1{0xD3, 0xA1, 0x03, 0x06};
inline constexpr HwVersion kKpl2200V1{0xD3, 0xA1, 0x03, 0x09};
inline constexpr HwVersion kPelmoV2{0xD3, 0xA2, 0x01, 0x00};

}  // namespace ornix
