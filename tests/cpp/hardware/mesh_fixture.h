#pragma once

// Mesh registers of a simulated device, set by hand.

#include <cstdint>

#include "ornix/hw_version.h"
#include "support/simulated_driver.h"

namespace ornix::testing_mesh {

inline constexpr HwVersion kD3_00_00_01{0xD3, 0x00, 0x00, 0x01};
inline constexpr HwVersion kD3_00_00_02{0xD3, 0x00, 0x00, 0x02};
inline constexpr HwVersion kD3_A2_01_00{0xD3, 0xA2, 0x01, 0x00};

// Top register block base of the simulated devices: offsets must be taken from it.
inline constexpr uint32_t kTopBase = 0x00020000;

inline void set_mesh_words(SimulatedDriver& driver, uint32_t geometry, uint32_t dma, uint32_t extra) {
  driver.poke(kTopBase + 0x50, geometry);
  driver.poke(kTopBase + 0x54, dma);
  driver.poke(kTopBase + 0x58, extra);
}

inline void set_v2_words(SimulatedDriver& driver, uint32_t skip_dma, uint32_t hrc, uint32_t input_sram,
                         uint32_t weight_sram) {
  driver.poke(kTopBase + 0x64, skip_dma);
  driver.poke(kTopBase + 0x68, hrc);
  driver.poke(kTopBase + 0x70, input_sram);
  driver.poke(kTopBase + 0x74, weight_sram);
}

// 2 rows, 2 columns, 2 NPs per node, the DMA node at column 1, row 1 with event and
// configuration id 0, no extra node, last column of the last row `last_row_last_col`; every
// descriptor reads 0x80 (CNP1 and CNP2).
inline void set_2x2_mesh(SimulatedDriver& driver, uint8_t last_row_last_col = 2) {
  set_mesh_words(driver, 0x00000202, 0x00010102, uint32_t{last_row_last_col} << 24);
  for (uint8_t col = 1; col <= 2; ++col) {
    for (uint8_t row = 1; row <= 2; ++row) {
      for (uint8_t id = 0; id < 2; ++id) driver.set_np_descriptor({col, row, id, 0}, 0x80);
    }
  }
}

// A generation-2 device: skip-DMA engines in columns 1 and 2 with 5 channels (mask bit 0 set
// too), an HRC with LUT, and the default generation-2 SRAM (65536, 51200 bytes).
inline void set_v2_device(SimulatedDriver& driver) {
  driver.set_version(kD3_A2_01_00);
  set_2x2_mesh(driver);
  set_v2_words(driver, 0x05000007, 0x00000050, 32768, 8192);
}

}  // namespace ornix::testing_mesh
