#pragma once

#include "hardware/mapping_status.h"
#include "ornix/layer.h"

namespace ornix::v2 {

// Whether the layer's "weights" values fit its "weights_bits" (signed): a success with an
// empty layer name when evaluate_bitwidth of the weights is at most "weights_bits", else an
// error of the layer naming both widths. A missing parameter or variable throws the engine's
// error.
LayerMappingStatus check_weights_bitwidth(const Layer& layer);

}  // namespace ornix::v2
