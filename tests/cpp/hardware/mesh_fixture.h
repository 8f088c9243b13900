#pragma once

// Mesh registers of simulated devices, set by hand.

#include <cstdint>

#include "hardware/hw_type.h"
#include "ornix/hw_version.h"
#include "support/simulated_driver.h"

namespace ornix::testing_mesh {

inline constexpr HwVersion kD3_00_00_01{0xD3, 0x00, 0x00, 0x01};
inline constexpr HwVersion kD3_00_00_02{0xD3, 0x00, 0x00, 0x02};
inline constexpr HwVersion kD3_A2_01_00{0xD3, 0xA2, 0x01, 0x00};
inline constexpr HwVersion kD3_A3_00_01{0xD3, 0xA3, 0x00, 0x01};

// Top register block base of the simulated devices: mesh offsets must be taken from it.
inline constexpr uint32_t kTopBase = 0x00020000;

inline void set_words(SimulatedDriver& driver, uint32_t w50, uint32_t w54, uint32_t w58) {
  driver.set_top_level_reg_base(kTopBase);
  driver.poke(kTopBase + 0x50, w50);
  driver.poke(kTopBase + 0x54, w54);
  driver.poke(kTopBase + 0x58, w58);
}

inline void set_v2_words(SimulatedDriver& driver, uint32_t w64, uint32_t w68, uint32_t w70, uint32_t w74) {
  driver.poke(kTopBase + 0x64, w64);
  driver.poke(kTopBase + 0x68, w68);
  driver.poke(kTopBase + 0x70, w70);
  driver.poke(kTopBase + 0x74, w74);
}

// 2 x 2 nodes of 2 NPs, the DMA node at column 1, row 1 (event and configuration id 0), no
// extra node, the last row up to `last_col`; every descriptor reads 0x80 (CNP1 and CNP2).
inline void set_2x2_mesh(SimulatedDriver& driver, const HwVersion& version, uint8_t last_col = 2) {
  driver.set_version(version);
  set_words(driver, 0x00000202, 0x00010102, uint32_t{last_col} << 24);
  for (uint8_t node = 0; node < 8; ++node) {
    driver.set_np_descriptor({static_cast<uint8_t>(1 + node / 4), static_cast<uint8_t>(1 + node / 2 % 2),
                              static_cast<uint8_t>(node % 2), 0},
                             0x80);
  }
  // Generation 2: skip-DMA mask bits 0, 1, 2 with 5 channels, an HRC with LUT, the default
  // SRAM (65536, 51200 bytes). Never read on other products.
  set_v2_words(driver, 0x05000007, 0x00000050, 32768, 8192);
}

// The 2 x 2 mesh above on a D3 00 00 02 device (IP v1, which always has an HRC), its last NP
// (column 2, row 2, id 1) an FNP of kind `fnp` (FNP2 or FNP3) instead of a CNP.
inline void set_v1_mesh_with_fnp(SimulatedDriver& driver, hw::Type fnp) {
  set_2x2_mesh(driver, kD3_00_00_02);
  driver.set_np_descriptor({2, 2, 1, 0}, fnp == hw::Type::FNP2 ? 0x20 : 0x30);
}

}  // namespace ornix::testing_mesh
