#pragma once

#include "hardware/mapping_status.h"
#include "ornix/layer.h"

namespace ornix::v2 {

// Whether a StatefulRecurrent layer fits the recurrent temporal NP (TNP-R): 16-bit input of
// height (time) 1 and at most 256 channels, "stateful_channels" and "out_channels" at most 256,
// "subsample_ratio" one of 1, 4, 16, 32, 64, 128 (parameters read as unsigned 32-bit values).
// Every rule is evaluated; the result, named after the layer, holds one line per broken rule in
// that order. The compatibility checker does not call it: this generation maps no such layer.
// A missing parameter or input shape throws the engine's error.
LayerMappingStatus check_tnp_r_constraints(const Layer& layer);

}  // namespace ornix::v2
