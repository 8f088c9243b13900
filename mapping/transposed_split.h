#pragma once

// Spreading a transposed convolution over several convolutional NPs.

#include <cstdint>

#include "mapping/compatibility_checker.h"
#include "mapping/split_components.h"
#include "mapping/split_limits.h"
#include "ornix/layer.h"

namespace ornix {

// Splits a Conv2DTranspose over CNP1 NPs as split_conv_layer does, except that the input rows
// are never divided (a height above `max_height` fails), there is no pooling alignment and no
// fifo, and a window reads one column before it and kernel_size - 3 after it. The kernel size
// must be at least 3. The caller passes height and width limits already capped at half their
// defaults. More than `max_nps` NPs: as split_conv_layer, for CNP1.
SplitResult split_transposed_conv2d_layer(const Layer& layer, const CompatibilityChecker& checker,
                                          uint32_t max_height, uint32_t max_width, uint32_t max_filters,
                                          bool dual_only, uint32_t max_nps = kUncappedNps);

// The same for a DepthwiseConv2DTranspose: the groups divide the input channels, a window
// holds only its group's channels, and on a TNP-B the groups but the last are multiples of 4.
SplitResult split_transposed_dwconv2d_layer(const Layer& layer, const CompatibilityChecker& checker,
                                            uint32_t max_height, uint32_t max_width, uint32_t max_filters,
                                            bool dual_only, uint32_t max_nps = kUncappedNps);

}  // namespace ornix
