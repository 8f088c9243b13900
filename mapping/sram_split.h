#pragma once

// The search for the fewest NPs whose input windows fit an NP's input memory.

#include <cstdint>

#include "hardware/hw_type.h"
#include "mapping/compatibility_checker.h"
#include "mapping/dimension_split.h"
#include "mapping/np_split_params.h"

namespace ornix {

// How an NP's input memory holds its window.
enum class SramBuffering : uint32_t {
  None = 0,    // nothing found
  Dual = 1,    // two buffers
  Single = 2,  // one buffer
};

// The outcome of find_sram_split: when found, the pieces of each axis (their totals, limits and
// alignments those of the search's arguments) and the buffering of the windows.
struct SramSplit {
  bool found = false;
  DimensionSplit width;
  DimensionSplit height;
  DimensionSplit neurons;  // filter (or channel) groups
  SramBuffering buffering = SramBuffering::None;

  bool operator==(const SramSplit&) const = default;
};

// Finds the fewest NPs, at least width.splits * height.splits * neurons.splits, over which the
// layer's input windows fit an NP's input memory, dual-buffered by preference and
// single-buffered unless `dual_only`. Among distributions over the same number of NPs the
// order of SplitsNumChunks::get_splits_number decides; for one distribution dual buffering
// comes before single. A window of a piece gains the split parameters' halo on the sides
// where it has neighbours (both sides with three pieces or more, the larger side with two);
// its channels are the group size when `channels_per_group`, else `channels`. For a TNP-B
// layer with `channels_per_group`, the last of several groups must be a multiple of the
// neurons' alignment. The height is cut only when `allow_height_split`.
// The checker's fit predicates get `type`, the window, `fifo_size`, `input_bits` and
// `reserved` (input-memory words taken) and must answer the same for the same arguments.
SramSplit find_sram_split(uint32_t channels, uint8_t input_bits, const NpSplitParams& params,
                          const CompatibilityChecker& checker, const DimensionSplit& height,
                          const DimensionSplit& width, const DimensionSplit& neurons, uint32_t fifo_size,
                          hw::Type type, bool dual_only, uint32_t reserved, bool channels_per_group,
                          bool allow_height_split, bool is_tnp_b);

}  // namespace ornix
