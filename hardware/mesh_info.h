#pragma once

#include <cstdint>
#include <vector>

#include "hardware/np_info.h"
#include "ornix/hardware_device.h"

namespace ornix {

// The decoded mesh-information registers.
struct MeshInfo {
  uint8_t rows = 0;
  uint8_t cols = 0;
  uint8_t nps_per_node = 0;
  bool dma_node_without_nps = false;
  uint8_t dma_row = 0;
  uint8_t dma_col = 0;
  uint8_t dma_event_id = 0;
  uint8_t dma_conf_id = 0;
  uint8_t row1_first_col = 0;  // 0 counts as 1
  uint8_t row2_first_col = 0;  // 0 counts as 1
  uint8_t extra_row = 0;
  uint8_t extra_col = 0;
  uint8_t last_row_last_col = 0;
  uint8_t skip_dma_channels = 0;
  uint16_t skip_dma_mask = 0;
  bool has_hrc = false;
  bool hrc_has_lut = false;
  uint32_t input_sram_units = 0;
  uint32_t weight_sram_units = 0;
};

// Appends to `nps` the NPs of the mesh, column by column (then row, then id), each with the
// kinds its descriptor word gives. The DMA node holds NPs only outside its two DMA ids and
// when it is not marked NP-free; the extra node always holds NPs; rows 1 and 2 start at their
// first columns and the last row stops at its last column.
void add_nps(const MeshInfo& info, HardwareDevice* device, std::vector<np::Info>* nps);

}  // namespace ornix
