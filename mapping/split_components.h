#pragma once

// The per-NP components of a split convolution.

#include <tuple>
#include <vector>

#include "hardware/component.h"
#include "hardware/hw_type.h"
#include "hardware/mapping_status.h"
#include "mapping/dimension_split.h"
#include "mapping/np_split_params.h"
#include "ornix/layer.h"

namespace ornix {

// What every split operation returns: one component per NP and a success without layer name,
// or no component and a LayerMappingError naming the layer.
using SplitResult = std::tuple<std::vector<hw::Component>, LayerMappingStatus>;

// One component of `type` per (width piece, height piece, filter group), in that nesting
// (width outermost), each with a zero ident and zero memory figures. Pieces follow one
// another from column and row 0; a first piece that does not span the whole axis is shortened
// by the layer's pooling padding before that axis, when smaller than the piece (not made up
// for later). A window reads `params`' halo from the sides that have a neighbour, never beyond
// the input's first column or row. Groups run over `params.filters`; a channelwise layer's
// window holds the group's channels, any other layer's all its input channels.
// Panics when a window comes out with a dimension of 0.
std::vector<hw::Component> make_split_components(const Layer& layer, const NpSplitParams& params,
                                                 const DimensionSplit& width, const DimensionSplit& height,
                                                 const DimensionSplit& neurons, bool single_buffer, hw::Type type);

}  // namespace ornix
