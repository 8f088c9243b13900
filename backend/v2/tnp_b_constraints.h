#pragma once

#include "hardware/mapping_status.h"
#include "mapping/hardware_constraints.h"
#include "ornix/layer.h"

namespace ornix::v2 {

// Whether a buffered temporal convolution fits a TNP-B. The plain and depthwise forms obey the
// same rules; both entry points return check_buffer_temp_conv_layer.
LayerMappingStatus check_buffer_temp_conv_constraints(const HardwareConstraints& constraints, const Layer& layer);
LayerMappingStatus check_depthwise_buffer_temp_conv_constraints(const HardwareConstraints& constraints,
                                                                const Layer& layer);

// In order: 8-bit input, 8-bit output, the input size (check_buffer_temp_conv_input_size),
// "weights_bits" 8, at most 2048 filters ("filters", or the input channels when the layer has
// none), a skip-DMA line (one input pixel's channels in 32-bit words) below 1024 words, and
// input shifts ("input_shift", eight per 24-bit word) within `constraints`'
// input_shift_memory_size. Every rule is evaluated; the result, named after the layer, holds
// one line per broken rule in that order. The layer must be in a model and carry the
// "weights_bits" parameter and the "input_shift" variable: without them the engine's error is
// thrown.
LayerMappingStatus check_buffer_temp_conv_layer(const HardwareConstraints& constraints, const Layer& layer);

// The first input shape: width and height at most 4096, channels at most 2048; every finding
// folded, named after the layer.
LayerMappingStatus check_buffer_temp_conv_input_size(const Layer& layer);

}  // namespace ornix::v2
