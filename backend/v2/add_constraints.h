#pragma once

#include "hardware/mapping_status.h"
#include "ornix/layer.h"

namespace ornix::v2 {

// Whether an Add layer maps on this generation: no activation, 8-bit output, per-channel shifts
// that fit the merge layer's shift byte (check_add_shifts), and a first outbound layer that maps
// on a CNP (the merge layer, which applies the shifts). Stops at the first broken rule and
// returns its error, named after the layer; a success carries no layer name.
LayerMappingStatus check_add_constraints(const Layer& layer);

// The per-channel shifts, channel by channel up to the first dimension of "a_shift": the input
// shifts "a_shift" and "b_shift" (unsigned 8-bit) may differ by at most 15, and
// max(a_shift, b_shift) + "output_shift" (signed 8-bit) must lie in [-4, 3]. Stops at the first
// broken channel; a success carries no layer name. A missing variable, a variable shorter than
// "a_shift" or of another element type throws the engine's error from the element read.
LayerMappingStatus check_add_shifts(const Layer& layer);

}  // namespace ornix::v2
