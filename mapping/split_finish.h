#pragma once

// The steps every convolution split ends with, once its rows and columns are cut: filter
// groups, input windows, components.

#include <cstdint>

#include "hardware/hw_type.h"
#include "mapping/compatibility_checker.h"
#include "mapping/dimension_split.h"
#include "mapping/np_split_params.h"
#include "mapping/split_components.h"
#include "ornix/layer.h"

namespace ornix {

// How a layer is split, as its entry point decided.
struct SplitPlan {
  NpSplitParams params;              // halo, pooling, and in `filters` the quantity grouped
  DimensionSplit height;             // the fewest row pieces
  DimensionSplit width;              // the fewest column pieces
  uint32_t group_alignment = 1;      // groups but the last are multiples of it
  uint32_t fifo_size = 0;            // frames a TNP-B keeps
  hw::Type type = hw::Type::None;    // the NPs' kind, given to the checker and the components
  bool channels_per_group = false;   // a window holds its group's channels only
  bool allow_height_split = true;    // the search may cut the rows
  bool is_tnp_b = false;             // the layer runs on a TNP-B
};

// No component and a LayerMappingError of the layer with `message`.
SplitResult split_failure(const Layer& layer, const char* message);

// Cuts `plan.params.filters` into groups of at most `max_filters` ("Cannot split by neurons."),
// grows them until their weights fit ("Cannot split to fit weights in ram."), searches the
// fewest NPs whose windows fit ("Cannot split to fit inputs in ram.", with the Add reservation
// of v2::get_add_pksram_shift) and makes their components. When they would be more than
// `max_nps`, none is made: the status is then the NpsMappingError of the layer's placement for
// `plan.type` ("... N are needed but max_nps are available.").
SplitResult finish_split(const Layer& layer, const CompatibilityChecker& checker, const SplitPlan& plan,
                         uint32_t max_filters, bool dual_only, uint32_t max_nps);

}  // namespace ornix
