#pragma once

#include <optional>

#include "hardware/mapping_status.h"
#include "mapping/hardware_constraints.h"
#include "ornix/layer.h"

namespace ornix::v2 {

// The constraint check of the layer's own type: a success for Concatenate and Dequantizer,
// which have none, the type's check for the other types this generation maps, and nullopt for
// a type it does not map. `inbound` (the layer's first inbound layer, or null) reaches the
// Dense1D check only.
std::optional<LayerMappingStatus> check_layer_type_constraints(const HardwareConstraints& constraints,
                                                               const Layer& layer, const Layer* inbound);

}  // namespace ornix::v2
