#include <algorithm>
#include <stdexcept>

#include "hardware/known_versions.h"
#include "hardware/mesh.h"
#include "hardware/mesh_info.h"
#include "hardware/mesh_registers.h"
#include "hardware/messages.h"
#include "hardware/register_io.h"

namespace ornix {

namespace {

uint8_t byte_field(uint32_t word, BitField field) { return static_cast<uint8_t>(field_value(word, field)); }

MeshInfo read_mesh_info(HardwareDriver& driver, const HwVersion& version) {
  const uint32_t base = driver.top_level_reg_base();
  const uint32_t geometry = read_register(driver, base + hw::kMeshGeometryOffset);
  const uint32_t dma = read_register(driver, base + hw::kMeshDmaOffset);
  const uint32_t extra = read_register(driver, base + hw::kMeshExtraNodeOffset);

  MeshInfo info;
  info.rows = byte_field(geometry, hw::kMeshRows);
  info.cols = byte_field(geometry, hw::kMeshCols);
  info.row1_first_col = byte_field(geometry, hw::kMeshRow1FirstCol);
  info.row2_first_col = byte_field(geometry, hw::kMeshRow2FirstCol);
  info.nps_per_node = byte_field(dma, hw::kMeshNpsPerNode);
  info.dma_node_without_nps = field_value(dma, hw::kMeshDmaNodeWithoutNps) != 0;
  info.dma_row = byte_field(dma, hw::kMeshDmaRow);
  info.dma_col = byte_field(dma, hw::kMeshDmaCol);
  info.dma_event_id = byte_field(dma, hw::kMeshDmaEventId);
  info.dma_conf_id = byte_field(dma, hw::kMeshDmaConfId);
  info.extra_row = byte_field(extra, hw::kMeshExtraRow);
  info.extra_col = byte_field(extra, hw::kMeshExtraCol);
  // This revision's last row always runs to the last column.
  info.last_row_last_col = version == kVamoV2 ? info.cols : byte_field(extra, hw::kMeshLastRowLastCol);

  if (version.product_id != kProductIdV2) {
    info.has_hrc = true;
    return info;
  }
  const uint32_t hrc = read_register(driver, base + hw::kMeshHrcOffset);
  const uint32_t skip_dma = read_register(driver, base + hw::kMeshSkipDmaOffset);
  info.input_sram_units = read_register(driver, base + hw::kMeshInputSramOffset);
  info.weight_sram_units = read_register(driver, base + hw::kMeshWeightSramOffset);
  // The HRC word is read once more to close the sequence, as the hardware's discovery
  // sequence has it; the value is not used.
  read_register(driver, base + hw::kMeshHrcOffset);

  info.has_hrc = field_value(hrc, hw::kMeshHasHrc) != 0;
  info.hrc_has_lut = field_value(hrc, hw::kMeshHrcHasLut) != 0;
  info.skip_dma_mask = static_cast<uint16_t>(field_value(skip_dma, hw::kMeshSkipDmaMask));
  info.skip_dma_channels = byte_field(skip_dma, hw::kMeshSkipDmaChannels);
  return info;
}

bool holds_np(const MeshInfo& info, unsigned col, unsigned row, unsigned id) {
  if (row == info.dma_row && col == info.dma_col) {
    return !info.dma_node_without_nps && id != info.dma_event_id && id != info.dma_conf_id;
  }
  if (row == info.extra_row && col == info.extra_col) return true;
  if (row == 1 && col < std::max<unsigned>(info.row1_first_col, 1)) return false;
  if (row == 2 && col < std::max<unsigned>(info.row2_first_col, 1)) return false;
  if (row == info.rows && col > info.last_row_last_col) return false;
  return true;
}

np::Info decode_np_descriptor(const hw::Ident& ident, uint32_t word, bool temporal_kinds) {
  np::Info np{ident, {}, field_value(word, hw::kNpHasLut) != 0};
  switch (field_value(word, hw::kNpFnpKind)) {
    case 2:
      np.types.insert(hw::Type::FNP2);
      break;
    case 3:
      np.types.insert(hw::Type::FNP3);
      break;
  }
  switch (field_value(word, hw::kNpCnpKind)) {
    case 1:
      np.types.insert(hw::Type::CNP1);
      break;
    case 2:
      np.types.insert({hw::Type::CNP1, hw::Type::CNP2});
      break;
  }
  if (temporal_kinds && field_value(word, hw::kNpTnpB) != 0) np.types.insert(hw::Type::TNP_B);
  if (temporal_kinds && field_value(word, hw::kNpTnpR) != 0) np.types.insert(hw::Type::TNP_R);
  return np;
}

std::vector<np::Info> skip_dmas_of(const MeshInfo& info) {
  std::vector<np::Info> skip_dmas;
  // Bit 0 names no engine.
  for (unsigned col = 1; col < 16; ++col) {
    if ((info.skip_dma_mask >> col & 1u) == 0) continue;
    const hw::Ident ident{static_cast<uint8_t>(col), 1, hw::kSkipDmaId, info.skip_dma_channels};
    skip_dmas.push_back({ident, {hw::Type::SKIP_DMA_STORE, hw::Type::SKIP_DMA_LOAD}, false});
  }
  return skip_dmas;
}

}  // namespace

void add_nps(const MeshInfo& info, HardwareDevice* device, std::vector<np::Info>* nps) {
  const bool temporal_kinds = device->version().product_id == kProductIdV2;
  for (unsigned col = 1; col <= info.cols; ++col) {
    for (unsigned row = 1; row <= info.rows; ++row) {
      for (unsigned id = 0; id < info.nps_per_node; ++id) {
        if (!holds_np(info, col, row, id)) continue;
        const hw::Ident ident{static_cast<uint8_t>(col), static_cast<uint8_t>(row), static_cast<uint8_t>(id), 0};
        uint32_t word = 0;
        device->read_np_info(&word, &ident, 1);
        nps->push_back(decode_np_descriptor(ident, word, temporal_kinds));
      }
    }
  }
}

std::unique_ptr<Mesh> Mesh::discover(HardwareDevice* device) {
  const HwVersion version = device->version();
  const MeshInfo info = read_mesh_info(*device->driver(), version);

  const hw::Ident dma_event{info.dma_col, info.dma_row, info.dma_event_id, 0};
  const hw::Ident dma_conf{info.dma_col, info.dma_row, info.dma_conf_id, 0};
  std::optional<np::Info> hrc;
  if (info.has_hrc) hrc = np::Info{hw::Ident{}, {hw::Type::HRC}, info.hrc_has_lut};
  std::vector<np::Info> nps;
  add_nps(info, device, &nps);

  if (version.product_id != kProductIdV2) {
    return std::make_unique<Mesh>(IpVersion::v1, dma_event, dma_conf, std::move(hrc), std::move(nps),
                                  std::vector<np::Info>{});
  }
  if (info.input_sram_units == 0 || info.weight_sram_units == 0) throw std::runtime_error(kMsgMeshHasNoSram);
  auto mesh = std::make_unique<Mesh>(IpVersion::v2, dma_event, dma_conf, std::move(hrc), std::move(nps),
                                     skip_dmas_of(info));
  mesh->np_sram_size = {info.input_sram_units * hw::kInputSramUnitFactor / hw::kSramUnitDivisor,
                        info.weight_sram_units * hw::kWeightSramUnitFactor / hw::kSramUnitDivisor};
  return mesh;
}

}  // namespace ornix
