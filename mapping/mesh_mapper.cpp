#include "mapping/mesh_mapper.h"

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <tuple>

#include "hardware/mesh.h"
#include "mapping/compatibility_checker.h"
#include "mapping/map_constraints.h"
#include "mapping/messages.h"
#include "ornix/device.h"

namespace ornix {
namespace {

// Placement flags of an NP, a bit set; the sort key that hands scarce NPs out last.
using PlacementFlags = std::map<hw::Ident, uint32_t>;
constexpr uint32_t kOnFnp3Node = 1;    // its node (column and row) holds an FNP3-capable NP
constexpr uint32_t kSupportsFnp3 = 2;
constexpr uint32_t kSupportsFnp2 = 4;

bool is_skip_dma(hw::Type type) { return type == hw::Type::SKIP_DMA_STORE || type == hw::Type::SKIP_DMA_LOAD; }

uint32_t flags_of(const PlacementFlags& flags, const hw::Ident& ident) {
  const auto found = flags.find(ident);
  return found == flags.end() ? 0 : found->second;
}

}  // namespace

MeshMapper::MeshMapper(const CompatibilityChecker& checker, const MapConstraints& constraints)
    : checker_(checker), constraints_(constraints) {}

void MeshMapper::reset() {
  const std::shared_ptr<Device> device = constraints_.device();
  const Mesh* mesh = device->mesh();
  if (mesh == nullptr) throw std::runtime_error(kMsgDeviceHasNoMesh);

  slots_.clear();
  PlacementFlags flags;
  for (const np::Info& np : mesh->nps) {
    for (const hw::Type type : np.types) {
      slots_[type].push_back(NpSlot{np.ident});
      if (type == hw::Type::FNP3) {
        for (const np::Info& neighbour : mesh->nps) {
          if (neighbour.ident.col == np.ident.col && neighbour.ident.row == np.ident.row) {
            flags[neighbour.ident] |= kOnFnp3Node;
          }
        }
        flags[np.ident] |= kSupportsFnp3;
      } else if (type == hw::Type::FNP2) {
        flags[np.ident] |= kSupportsFnp2;
      }
    }
  }

  // The mesh lists each skip-DMA engine once, its channel count in the ident's channel byte;
  // the first engine's count holds for all.
  if (!mesh->skip_dmas.empty()) {
    const uint8_t channels = mesh->skip_dmas.front().ident.channel;
    for (const np::Info& engine : mesh->skip_dmas) {
      for (uint8_t channel = 0; channel < channels; ++channel) {
        hw::Ident ident = engine.ident;
        ident.channel = channel;
        slots_[hw::Type::SKIP_DMA_STORE].push_back(NpSlot{ident});
        slots_[hw::Type::SKIP_DMA_LOAD].push_back(NpSlot{ident});
      }
    }
  }

  for (auto& [type, list] : slots_) {
    if (is_skip_dma(type)) continue;
    std::sort(list.begin(), list.end(), [&flags](const NpSlot& a, const NpSlot& b) {
      return std::tuple(flags_of(flags, a.ident), a.ident) < std::tuple(flags_of(flags, b.ident), b.ident);
    });
  }
}

void MeshMapper::reserve_nps(const std::vector<hw::Ident>& idents) {
  for (auto& [type, list] : slots_) {
    for (NpSlot& slot : list) slot.reserved = std::find(idents.begin(), idents.end(), slot.ident) != idents.end();
  }
}

void MeshMapper::allocate_np(hw::Ident ident, hw::Type type) {
  for (auto& [slot_type, list] : slots_) {
    if (type != hw::Type::None && slot_type != type) continue;
    for (NpSlot& slot : list) {
      if (slot.ident == ident) slot.allocated = true;
    }
  }
}

void MeshMapper::deallocate_nps() {
  for (auto& [type, list] : slots_) {
    for (NpSlot& slot : list) slot.allocated = false;
  }
}

uint32_t MeshMapper::max_nps(hw::Type type) {
  const std::vector<NpSlot>& list = slots_[type];
  const auto usable = std::count_if(list.begin(), list.end(), [](const NpSlot& slot) { return !slot.reserved; });
  return static_cast<uint32_t>(usable);
}

std::vector<hw::Ident> MeshMapper::available_nps(hw::Type type) {
  std::vector<hw::Ident> idents;
  for (const NpSlot& slot : slots_[type]) {
    if (!slot.reserved && !slot.allocated) idents.push_back(slot.ident);
  }
  return idents;
}

hw::Type MeshMapper::get_compatible_fnp_type(const Layer& layer) {
  const uint32_t fnp2_max = max_nps(hw::Type::FNP2);
  const bool fnp2_free = !available_nps(hw::Type::FNP2).empty();
  const uint32_t fnp3_max = max_nps(hw::Type::FNP3);
  const bool fnp3_free = !available_nps(hw::Type::FNP3).empty();
  const bool fits_fnp3 = checker_.is_fnp3_compatible(layer);

  if (fnp3_free && fits_fnp3) return hw::Type::FNP3;
  if (fnp2_free) return hw::Type::FNP2;
  if (fnp3_max > 0 && fits_fnp3) return hw::Type::FNP3;
  if (fnp2_max > 0) return hw::Type::FNP2;
  return hw::Type::None;
}

}  // namespace ornix
