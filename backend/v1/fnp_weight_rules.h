#pragma once

#include "hardware/mapping_status.h"
#include "ornix/layers/dense.h"

namespace ornix::v1 {

// Every "weights" value of the FullyConnected layer (read as signed bytes, in storage order)
// lies within -(R - 1)..R - 1, R being 2 for 1-bit weights and 2^(weights_bits - 1) otherwise;
// the first value outside is reported. "weights_bits" must be 1 to 4.
LayerMappingStatus check_fnp_weights_range(const FullyConnected& layer);

// For a learning layer: every neuron has exactly "num_weights" (learning parameter, truncated
// toward zero) non-zero weights; a value that no count can match (negative, not finite, beyond
// 32 bits) fails for any neuron. A layer that does not learn passes.
LayerMappingStatus check_fnp_num_weights(const FullyConnected& layer);

}  // namespace ornix::v1
