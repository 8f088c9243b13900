#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "hardware/component.h"
#include "hardware/mapping_status.h"
#include "mapping/hardware_constraints.h"
#include "mapping/map_constraints.h"
#include "ornix/hw/ident.h"
#include "ornix/layer.h"
#include "ornix/sequence.h"

namespace ornix {

class IpVersionSpecificHardwareBackend;

// One mapping attempt over the front of `layers`. With `whole_model` it maps every layer into
// one sequence or changes nothing; otherwise it maps the longest run from the front that fits
// one pass. A mapped run becomes one sequence appended to `sequences` and is erased from the
// front of `layers`. Returns {Success, "Success."} or the rendered status of the layer that
// stopped it. `table` is the backend's own constraints table. With `retry` the caller follows a
// failed whole-model attempt with prefix attempts and reports none of its failure.
using MappingAttempt = std::function<MappingStatus(
    const HardwareConstraints& table, const std::shared_ptr<MapConstraints>& constraints,
    const IpVersionSpecificHardwareBackend& backend, std::vector<std::shared_ptr<Layer>>* layers,
    std::vector<std::shared_ptr<Sequence>>* sequences, bool whole_model, bool retry)>;

// The attempt of this library. It walks `layers` from the front: checks each layer's
// compatibility (the first layer with no inbound layer), gives an HRC layer the HRC (failing at
// once, with nothing changed, when the mesh has none), a Dequantizer or merge layer no component
// and any other layer the NPs the mesh mapper places it on, then checks the placement. A whole-
// model attempt cuts a pass where the mapper had to free the NPs and stops at the first failure
// without building; a prefix attempt holds back a layer whose run from the front breaks the
// sequence rules until a later layer mends the run, and builds the run accepted before the
// first failure. The status of held-back layers names the first of them and lists every held
// reason. A whole-model attempt with `retry` also stops, with the builder's status for too
// many descriptors, as soon as its passes so far surely break the program's descriptor budget
// (every layer on an NP records at least one track, its registers, so a pass holds at least as
// many tracks as it has such layers). A failed build returns the builder's status unrendered
// and changes nothing; after a successful build the layers are erased, their components' memory figures filled, and the
// sequence appended, in that order: an error of the memory sizer leaves the layers erased and
// no sequence appended. Exceptions of the checker, mapper, builder, recorders and constraints'
// hooks pass out.
MappingStatus map_layers_to_sequences(const HardwareConstraints& table,
                                      const std::shared_ptr<MapConstraints>& constraints,
                                      const IpVersionSpecificHardwareBackend& backend,
                                      std::vector<std::shared_ptr<Layer>>* layers,
                                      std::vector<std::shared_ptr<Sequence>>* sequences, bool whole_model,
                                      bool retry);

// The identifiers a layer may not be placed on: for an FNP layer every FNP2 used so far in the
// attempt (`used_fnp2`, in order); then, when `reserve_previous` and not `loop_itself`, the
// components of the last non-empty list of `placed` (the current pass's layers), skip-DMA
// channels excepted.
std::vector<hw::Ident> layer_reserved_nps(const std::vector<hw::Ident>& used_fnp2, const std::shared_ptr<Layer>& layer,
                                          const std::vector<std::vector<hw::Component>>& placed,
                                          bool reserve_previous, bool loop_itself);

}  // namespace ornix
