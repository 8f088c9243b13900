#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <tuple>
#include <vector>

#include "hardware/component.h"
#include "hardware/hw_type.h"
#include "hardware/mapping_status.h"
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

// What placing a layer gives: its components, in the state they had when the placement stopped
// (also on failure), and the outcome. A success carries no layer name; a failure names the layer.
using PlacementResult = std::tuple<std::vector<hw::Component>, LayerMappingStatus>;

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

  // Places one layer (not null) of the model `layers`: splits a convolution over NPs (within
  // the constraints' CNP limits, read after next_layer_handler announced the layer), or gives a
  // fully connected layer one NP of the compatible FNP type; adds the skip-DMA stores and loads
  // it needs; lets the constraints' select_nps choose among the free entries (each choice must
  // be one of them, and only once); writes the chosen idents into the components in order and
  // allocates them (an NP in every list, a skip-DMA channel in its own direction).
  // `reserved_nps` replace the pool's reservation. `dual_only` goes to the splitting.
  // `*new_pass` (not null) is cleared on entry and set when the layer
  // had to free the pool, which happens only with `allow_new_pass`: when the layer's need
  // exceeds the free entries of a type, or when a single TNP-B successor would not fit beside
  // it (the selection is then redone once in the fresh pass). Without `allow_new_pass` the
  // layer must fit the entries still free. A TNP-B layer never opens a pass, and one spread
  // over several NPs whose windows do not all hold every input channel cuts its filters in
  // multiples of 4. A layer no component serves (also a convolution that runs on neither a CNP
  // nor a TNP-B) gets no component, and a split over more NPs than the capacity check accepts
  // is refused with that check's status before any of its components is built (none returned).
  // Failures come back in the status (see the placement texts of mapping/messages.h and the
  // splitting's own); exceptions of the layer, the splitting and the constraints' hooks pass
  // through. A failure may leave reservations, allocations and a set new-pass flag behind.
  PlacementResult map_layer(const std::shared_ptr<Layer>& layer, const std::vector<hw::Ident>& reserved_nps,
                            bool dual_only, bool* new_pass, bool allow_new_pass,
                            const std::vector<std::shared_ptr<Layer>>& layers);

  // Whether the single TNP-B successor of a non-TNP-B layer still fits the current pass, after
  // that layer took its entries: a free skip-DMA store and load, and TNP_B NPs, free or
  // reserved but not allocated, for as many NPs as its split takes. A success without layer
  // name when it fits or does not apply; otherwise an error naming `layer` and the successor,
  // having opened a new pass (freed the pool, set `*new_pass`, not null) when `allow_new_pass`
  // and no pass was opened yet.
  LayerMappingStatus sanitize_tnp_b(const Layer& layer, bool* new_pass, bool allow_new_pass);

 private:
  // Has the constraints' select_nps choose, for each type of `types` in order, needed[type]
  // free entries, writes them in order into the components of that type and allocates them.
  // Stops at the first type whose choice has another size (an NpsMappingError naming the layer)
  // or holds an ident that was not offered or one twice (a LayerMappingError naming the layer and
  // the ident), before writing any ident of that type; a success carries no name.
  LayerMappingStatus assign_nps(const Layer& layer, const std::vector<hw::Type>& types,
                                const std::map<hw::Type, size_t>& needed, std::vector<hw::Component>* components);

  // The most NPs of its NP type (types.front()) that a split of `layer` may take: beyond what
  // the placement's capacity check accepts, none of its components is worth building.
  // Uncapped when the layer has two skip-DMA stores, which are refused first.
  uint32_t split_cap(const std::shared_ptr<Layer>& layer, const std::vector<hw::Type>& types,
                     const std::vector<std::shared_ptr<Layer>>& layers, bool allow_new_pass);

  std::map<hw::Type, std::vector<NpSlot>> slots_;
  const CompatibilityChecker& checker_;
  const MapConstraints& constraints_;
};

}  // namespace ornix
