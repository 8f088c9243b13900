#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "hardware/hw_type.h"
#include "ornix/hw/ident.h"

namespace ornix {

class CompatibilityChecker;
class Layer;
class MapConstraints;

// One entry of the NP pool: an NP offered for one of its types, or one skip-DMA channel offered
// for one direction. An entry is usable when it is neither reserved nor allocated.
struct NpSlot {
  hw::Ident ident;
  bool reserved = false;   // the layer being placed may not use it; set only by reserve_nps
  bool allocated = false;  // taken in the current pass; set by allocate_np, cleared by deallocate_nps

  bool operator==(const NpSlot&) const = default;
};

// The NP pool of one mapping attempt: every NP and skip-DMA channel of the device's mesh,
// grouped by type, with what the layer being placed may not use and what the current pass has
// taken.
//
// Each type's NPs are ordered so that scarce capabilities are handed out last: NPs away from
// FNP3 nodes without fully connected capability first, then the other NPs of FNP3 nodes, then
// FNP3-capable NPs, then FNP2-capable NPs; among equals, the smaller ident. Skip-DMA channels
// keep the mesh's order, engine by engine and channel by channel.
//
// The checker and the constraints are the caller's and must outlive the mapper. Queries of a
// type the pool does not hold answer 0 or nothing (and record an empty list for it).
class MeshMapper {
 public:
  // An empty pool; the device is not read until reset().
  MeshMapper(const CompatibilityChecker& checker, const MapConstraints& constraints);

  // Rebuilds the pool from the constraints' device's mesh (its HRC excluded), dropping every
  // reservation and allocation. std::runtime_error when the device has no mesh.
  void reset();

  // Marks reserved exactly the slots whose ident is one of `idents`, in every list; each call
  // replaces the previous reservation.
  void reserve_nps(const std::vector<hw::Ident>& idents);
  // Takes every slot with this ident in the list of `type`, or in every list for hw::Type::None
  // (an NP taken for one of its types is taken for all). No matching slot: nothing happens.
  void allocate_np(hw::Ident ident, hw::Type type);
  // Frees every slot; reservations stay.
  void deallocate_nps();

  // Slots of `type` that are not reserved, allocated or not: what a fresh pass could use.
  uint32_t max_nps(hw::Type type);
  // Idents of the slots of `type` that are neither reserved nor allocated, in pool order.
  std::vector<hw::Ident> available_nps(hw::Type type);

  // The fully connected NP type for the layer: a type with a free NP in the current pass is
  // preferred (FNP3 first, when the layer fits it), then one that a fresh pass would offer
  // (FNP3 first again); hw::Type::None when neither holds.
  hw::Type get_compatible_fnp_type(const Layer& layer);

 private:
  std::map<hw::Type, std::vector<NpSlot>> slots_;
  const CompatibilityChecker& checker_;
  const MapConstraints& constraints_;
};

}  // namespace ornix
