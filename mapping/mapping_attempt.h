#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "hardware/mapping_status.h"
#include "mapping/hardware_constraints.h"
#include "mapping/map_constraints.h"
#include "ornix/layer.h"
#include "ornix/sequence.h"

namespace ornix {

class IpVersionSpecificHardwareBackend;

// One mapping attempt over the front of `layers`. With `whole_model` it maps every layer into
// one sequence or changes nothing; otherwise it maps the longest run from the front that fits
// one pass. A mapped run becomes one sequence appended to `sequences` and is erased from the
// front of `layers`. Returns {Success, "Success."} or the rendered status of the layer that
// stopped it. `table` is the backend's own constraints table.
using MappingAttempt = std::function<MappingStatus(
    const HardwareConstraints& table, const std::shared_ptr<MapConstraints>& constraints,
    const IpVersionSpecificHardwareBackend& backend, std::vector<std::shared_ptr<Layer>>* layers,
    std::vector<std::shared_ptr<Sequence>>* sequences, bool whole_model)>;

// The attempt of this library.
MappingStatus map_layers_to_sequences(const HardwareConstraints& table,
                                      const std::shared_ptr<MapConstraints>& constraints,
                                      const IpVersionSpecificHardwareBackend& backend,
                                      std::vector<std::shared_ptr<Layer>>* layers,
                                      std::vector<std::shared_ptr<Sequence>>* sequences, bool whole_model);

}  // namespace ornix
