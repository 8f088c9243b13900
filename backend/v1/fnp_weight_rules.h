#pragma once

#include "hardware/mapping_status.h"
#include "ornix/layers/dense.h"

namespace ornix::v1 {

// Every "weights" value of the FullyConnected layer (read as signed bytes, in storage order)
// lies within -1..1 for 1-bit weights and -(2^(b - 1) - 1)..2^(b - 1) - 1 for b = "weights_bits"
// of 2 to 4; the first value outside is reported. Then 1-bit weights must not be negative (the
// FNP memory has no negative plane for them).
LayerMappingStatus check_fnp_weights_range(const FullyConnected& layer);

// For a learning layer: every neuron has exactly "num_weights" (learning parameter, truncated
// toward zero) non-zero weights; a value that no count can match (negative, not finite, beyond
// 32 bits) fails for any neuron. A layer that does not learn passes.
LayerMappingStatus check_fnp_num_weights(const FullyConnected& layer);

// For a learning layer, what its learning image and registers hold as given: 1-bit weights,
// then every "threshold_learning" within 0..2^19 - 1 and every "thswap" within its 16-bit field
// (the first value outside reported; a variable the layer does not hold is not checked), then
// the register values its learning parameters give and the class of its last neuron within
// their fields. A layer that does not learn passes.
LayerMappingStatus check_fnp_learning_values(const FullyConnected& layer);

}  // namespace ornix::v1
