#pragma once

// Spreading a convolution whose input plane or filters do not fit one NP over several NPs.

#include <cstdint>

#include "hardware/hw_type.h"
#include "mapping/compatibility_checker.h"
#include "mapping/split_components.h"
#include "mapping/split_limits.h"
#include "ornix/layer.h"

namespace ornix {

// Splits a convolution (Convolutional, SeparableConvolutional, Conv2D, BufferTempConv) over
// the fewest NPs of `type` (CNP1, or TNP_B for a buffered temporal convolution) whose filter
// groups fit the weight memory and whose input windows fit the input memory. Pieces are at
// most `max_height` rows, `max_width` columns and `max_filters` filters (the MapConstraints
// limits). `dual_only` forbids single-buffered windows. Pure: the mesh is not touched; the
// components carry zero idents for the placement to assign.
// Checks, in order, with the message of the first that fails: the layer runs on a CNP or a
// TNP-B, the height, the width, the filter limit, the weights, the input windows. A split over
// more than `max_nps` NPs makes no component and fails with the placement's NpsMappingError
// for `type` (needed: its NP count, available: `max_nps`).
SplitResult split_conv_layer(const Layer& layer, const CompatibilityChecker& checker, uint32_t max_height,
                             uint32_t max_width, uint32_t max_filters, hw::Type type, bool dual_only,
                             uint32_t max_nps = kUncappedNps);

// The same for a depthwise layer (DepthwiseConv2D, DepthwiseBufferTempConv): the groups divide
// the input channels, a window holds only its group's channels, and on a TNP-B the groups but
// the last are multiples of 4 channels.
SplitResult split_depthwise_conv_layer(const Layer& layer, const CompatibilityChecker& checker, uint32_t max_height,
                                       uint32_t max_width, uint32_t max_filters, hw::Type type, bool dual_only,
                                       uint32_t max_nps = kUncappedNps);

namespace v2 {

// Input-memory words a layer cannot use for its window: 512 when its first inbound layer is an
// Add, else 0 (also without inbound layer).
uint32_t get_add_pksram_shift(const Layer& layer);

}  // namespace v2
}  // namespace ornix
