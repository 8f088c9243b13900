#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "hardware/np_info.h"
#include "hardware/sram_size.h"
#include "ornix/hardware_device.h"
#include "ornix/hw/ident.h"
#include "ornix/ip_version.h"

namespace ornix {

// The NP topology of one device. A plain value: discovered from a device's registers or built
// by hand for a virtual device.
class Mesh {
 public:
  // np_sram_size becomes SramSize_v1 or SramSize_v2 by version; any other version throws
  // std::runtime_error.
  Mesh(IpVersion version, const hw::Ident& dma_event, const hw::Ident& dma_conf, std::optional<np::Info> hrc,
       std::vector<np::Info> nps, std::vector<np::Info> skip_dmas);

  // Reads the mesh from a device's mesh-information registers and NP descriptors. Throws
  // std::runtime_error when a generation-2 device reports no input or no filter SRAM; driver
  // failures propagate.
  static std::unique_ptr<Mesh> discover(HardwareDevice* device);

  // False when an HRC without LUT is installed; otherwise whether every NP has a LUT (true
  // for no NP). Skip-DMA engines do not count.
  bool has_lut_on_all_nps() const;

  IpVersion version;  // v1 or v2
  hw::Ident dma_event;
  hw::Ident dma_conf;
  std::optional<np::Info> hrc;   // when installed
  std::vector<np::Info> nps;     // in discovery order
  // The skip-DMA engines; each identifier's channel byte holds the engine's channel count.
  std::vector<np::Info> skip_dmas;
  SramSize np_sram_size;
};

}  // namespace ornix
