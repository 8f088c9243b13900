#include "hardware/mesh.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

#include "hardware/messages.h"

namespace ornix {

namespace {

SramSize sram_size_of(IpVersion version) {
  switch (version) {
    case IpVersion::v1:
      return SramSize_v1;
    case IpVersion::v2:
      return SramSize_v2;
    default:
      throw std::runtime_error(kMsgMeshInvalidIpVersion);
  }
}

}  // namespace

Mesh::Mesh(IpVersion version, const hw::Ident& dma_event, const hw::Ident& dma_conf, std::optional<np::Info> hrc,
           std::vector<np::Info> nps, std::vector<np::Info> skip_dmas)
    : version(version),
      dma_event(dma_event),
      dma_conf(dma_conf),
      hrc(std::move(hrc)),
      nps(std::move(nps)),
      skip_dmas(std::move(skip_dmas)),
      np_sram_size(sram_size_of(version)) {}

bool Mesh::has_lut_on_all_nps() const {
  if (hrc && !hrc->has_lut) return false;
  return std::all_of(nps.begin(), nps.end(), [](const np::Info& np) { return np.has_lut; });
}

}  // namespace ornix
