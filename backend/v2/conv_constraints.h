#pragma once

// The generation-2 constraint checks of the convolutions mapped on CNPs, dispatched by
// check_layer_compatibility. Each returns a status of the layer that lists every rule it
// breaks, one line each, in a fixed order: the shared CNP rules, input bits, padding and
// pooling (non-transposed forms), kernel size, output bits, weight bits and values, then
// whether one filter fits the weight memory (Conv2D and Conv2DTranspose; only when no rule
// failed before) and the 4-bit weights rule (non-transposed forms). Broken rules never throw;
// a missing parameter, variable or input shape throws the engine's error.

#include "hardware/mapping_status.h"
#include "mapping/hardware_constraints.h"
#include "ornix/layer.h"

namespace ornix::v2 {

// Input and weights 4 or 8 bits, kernel 1, 3, 5 or 7, Same padding, CNP pooling, output 8 bits
// (or 4 with ReLU) with an activation, 8 or 28 without; 4-bit weights need an activation or a
// non-8-bit output.
LayerMappingStatus check_conv2d_constraints(const HardwareConstraints& constraints, const Layer& layer);

// As Conv2D with kernel 3, 5 or 7, no filter-fit rule, and 4-bit weights refused with an
// activated 8-bit output instead.
LayerMappingStatus check_dwconv2d_constraints(const HardwareConstraints& constraints, const Layer& layer);

// Input and weights 8 bits, kernel 3 or 4, output 8 bits with an activation, 8 or 28 without;
// one filter fits the weight memory.
LayerMappingStatus check_conv2dtranspose_constraints(const HardwareConstraints& constraints, const Layer& layer);

// As Conv2DTranspose without the filter-fit rule.
LayerMappingStatus check_dwconv2dtranspose_constraints(const HardwareConstraints& constraints, const Layer& layer);

}  // namespace ornix::v2
