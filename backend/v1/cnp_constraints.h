#pragma once

#include "hardware/mapping_status.h"
#include "ornix/layer.h"
#include "ornix/shape.h"

namespace ornix::v1 {

// The CNP input limits of `input` (width, height, channels): width and height at most 4096,
// channels at most 2048, each broken limit one line.
LayerMappingStatus check_cnp_input_size(const Layer& layer, const Shape& input);

}  // namespace ornix::v1
