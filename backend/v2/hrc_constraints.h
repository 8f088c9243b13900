#pragma once

// What the input NP (HRC) accepts of an InputConv2D layer, and the size of what it loads into
// the HRC SRAMs.

#include <cstdint>

#include "hardware/mapping_status.h"
#include "ornix/layer.h"

namespace ornix::v2 {

// Every HRC rule, in this order, each failure folded into the layer's status on its own line:
// kernel size 3, 4, 5 or 7; kernel stride at most min(kernel size, 6); max pooling of (size,
// stride) (2, 2) or (3, 2); input width at least 5 and height 5 to 384; then, for a layer
// without activation, the activation rule alone, otherwise "output_bits" 4 or 8, and for a
// lookup-table activation 8-bit output and no pooling of any kind; 1 to 512 filters; not all
// weights zero; "weights_bits" 8. Average pooling has no size rule.
// Reads "kernel_size", "kernel_stride", "pool_type", "pool_size", "pool_stride",
// "output_bits", "activation", "filters" and "weights_bits" (a missing one throws the
// engine's std::invalid_argument) and the int8 "weights" (another element type panics "Wrong
// requested type %s for a tensor of type %s.").
LayerMappingStatus check_input_conv2d_constraints(const Layer& layer);

// 32-bit words of the layer's weights (all three SRAMs) and per-filter activation parameters,
// rounded up to a multiple of 16 when a block of that many words needs the extra-large DMA
// header (above 2047 words). A lookup table, when the layer has one, is not counted.
// The packers' failures pass through.
uint32_t get_hrc_sram_size(const Layer& layer);

}  // namespace ornix::v2
