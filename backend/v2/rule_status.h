#pragma once

#include <string>

#include "hardware/mapping_status.h"
#include "ornix/layer.h"

namespace ornix::v2 {

// The outcome of one rule of a layer check: a success named after the layer when the rule
// holds, else an error carrying `message`. Checks that evaluate every rule fold these with
// merge_mapping_status.
inline LayerMappingStatus rule_status(const Layer& layer, bool holds, const std::string& message) {
  return holds ? LayerMappingStatus(layer) : LayerMappingError(layer, message);
}

}  // namespace ornix::v2
