#pragma once

// How one quantity of a convolution (its input width, its input height, its filters or channel
// groups) is divided over NPs.

#include <cstdint>
#include <optional>

#include "mapping/compatibility_checker.h"
#include "mapping/np_split_params.h"
#include "ornix/layer.h"

namespace ornix {

// A quantity divided into pieces. A split with no piece or pieces of size 0 is no split; the
// all-zero value is the failure of the steps below.
struct DimensionSplit {
  uint32_t splits = 0;      // number of pieces
  uint32_t split_size = 0;  // size of every piece but the last, which takes what remains
  uint32_t total = 0;       // the quantity divided
  uint32_t max_size = 0;    // the caller's limit on a piece
  uint32_t alignment = 0;   // pieces but the last are multiples of it; 0 and 1 mean none

  bool failed() const { return splits == 0 || split_size == 0; }
  bool operator==(const DimensionSplit&) const = default;
};

// A number of pieces and the size of all but the last.
struct PieceCount {
  uint32_t count = 0;
  uint32_t size = 0;

  bool operator==(const PieceCount&) const = default;
};

// ceil(a / b); none when b is 0 or a + b - 1 leaves 32 bits.
std::optional<uint32_t> checked_ceil_div(uint32_t a, uint32_t b);

// `total` cut into `pieces` pieces of ceil(total / pieces). With several pieces and an alignment
// above 1 the size is rounded up to a multiple of `alignment`; when that exceeds `max_size`, the
// size is the rounded one less `alignment` and the count is recomputed. None when the size
// comes out 0 or the arithmetic leaves 32 bits.
std::optional<PieceCount> align_pieces(uint32_t pieces, uint32_t total, uint32_t max_size, uint32_t alignment);

// The alignment of the spatial pieces: the pooling width under max pooling, else 1 (the same
// for both axes; the checks accept max pooling only with a square window).
uint32_t split_alignment(const NpSplitParams& params);

// The fewest pieces of at most `max_size` covering `total`, aligned: fails (all zero) when
// `max_size` is below `alignment`; one piece of `total` (none when `total` is 0) when it fits
// `max_size`; else align_pieces of ceil(total / max_size) pieces.
DimensionSplit split_dimension(uint32_t total, uint32_t max_size, uint32_t alignment);

// split_dimension of the layer's input height (first input shape) with the alignment of
// `params`.
DimensionSplit find_dimension_split(const Layer& layer, const NpSplitParams& params, uint32_t max_size);

// Grows the number of filter groups from `start` until one group's weights fit an NP (the
// checker's is_weights_size_fit_np); all zero when even groups of one filter do not fit.
DimensionSplit find_neurons_split(const Layer& layer, const CompatibilityChecker& checker,
                                  const DimensionSplit& start);

}  // namespace ornix
