#include "mapping/sram_split.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <vector>

#include "mapping/split_enumeration.h"

namespace ornix {

namespace {

constexpr uint64_t kU32Max = std::numeric_limits<uint32_t>::max();
// Above every NP count the search can name (they are u32).
constexpr uint64_t kNoNpCount = kU32Max + 1;

// The arguments of one search.
struct Search {
  uint32_t channels;
  uint8_t input_bits;
  const NpSplitParams& params;
  const CompatibilityChecker& checker;
  const DimensionSplit& height;
  const DimensionSplit& width;
  const DimensionSplit& neurons;
  uint32_t fifo_size;
  hw::Type type;
  bool dual_only;
  uint32_t reserved;
  bool channels_per_group;
  bool allow_height_split;
  bool is_tnp_b;
};

// One axis of a distribution: the ways asked for, the pieces they give and the extent of every
// window along the axis (columns, rows or channels).
struct AxisChoice {
  uint32_t ways = 0;
  PieceCount pieces;
  uint32_t extent = 0;
};

using AxisRule = std::optional<AxisChoice> (*)(const Search&, uint32_t ways);

// The pieces `ways` pieces of an axis give, or none when the search skips them: fewer than the
// axis needs, more than its total, or an empty last piece once aligned.
std::optional<PieceCount> axis_pieces(uint32_t ways, const DimensionSplit& axis) {
  if (ways == 0 || ways < axis.splits || ways - 1 >= axis.total) return std::nullopt;
  const auto pieces = align_pieces(ways, axis.total, axis.max_size, axis.alignment);
  if (!pieces || uint64_t{pieces->count - 1} * pieces->size >= axis.total) return std::nullopt;
  return pieces;
}

// A window reads its neighbours' halo on both sides among three pieces or more, on the larger
// side of the two among two pieces, none alone.
std::optional<AxisChoice> spatial_choice(uint32_t ways, const DimensionSplit& axis, uint32_t before,
                                         uint32_t after) {
  const auto pieces = axis_pieces(ways, axis);
  if (!pieces) return std::nullopt;
  uint64_t halo = 0;
  if (pieces->count > 2) {
    halo = uint64_t{before} + after;
  } else if (pieces->count == 2) {
    halo = std::max(before, after);
  }
  const uint64_t extent = pieces->size + halo;
  if (extent > kU32Max) return std::nullopt;
  return AxisChoice{ways, *pieces, static_cast<uint32_t>(extent)};
}

std::optional<AxisChoice> width_choice(const Search& search, uint32_t ways) {
  return spatial_choice(ways, search.width, search.params.left, search.params.right);
}

std::optional<AxisChoice> height_choice(const Search& search, uint32_t ways) {
  if (ways > 1 && !search.allow_height_split) return std::nullopt;
  return spatial_choice(ways, search.height, search.params.top, search.params.bottom);
}

std::optional<AxisChoice> group_choice(const Search& search, uint32_t ways) {
  const DimensionSplit& groups = search.neurons;
  const auto pieces = axis_pieces(ways, groups);
  if (!pieces) return std::nullopt;
  if (search.channels_per_group && search.is_tnp_b && pieces->count > 1) {
    const uint32_t last = groups.total - (pieces->count - 1) * pieces->size;
    if (groups.alignment == 0 || last % groups.alignment != 0) return std::nullopt;
  }
  return AxisChoice{ways, *pieces, search.channels_per_group ? pieces->size : search.channels};
}

SramBuffering fit(const Search& search, uint32_t height, uint32_t width, uint32_t channels) {
  const CompatibilityChecker& checker = search.checker;
  if (checker.is_sram_input_fit_dual_buffer(search.type, height, width, channels, search.fifo_size,
                                            search.input_bits, search.reserved)) {
    return SramBuffering::Dual;
  }
  if (!search.dual_only && checker.is_sram_input_fit_single_buffer(search.type, height, width, channels,
                                                                   search.fifo_size, search.input_bits,
                                                                   search.reserved)) {
    return SramBuffering::Single;
  }
  return SramBuffering::None;
}

// The last number of ways from `ways` on that gives pieces of the same unaligned size,
// ceil(total / ways).
uint64_t last_ways_of_same_size(uint64_t ways, uint64_t total) {
  const uint64_t size = (total + ways - 1) / ways;
  return size == 1 ? total : (total - 1) / (size - 1);
}

// For every extent the axis can give, the choice with the fewest ways giving it; ordered by
// ways. Ways are tried in increasing order, so the first choice of an extent is kept.
// From three ways on, all ways giving pieces of one unaligned size give one window: the same
// aligned size, both halos (or a count the size fixes once realigned), and a last piece that
// is aligned for all or for none (whole pieces are multiples of the alignment). The rule
// refuses either all of them or all from some point on (too many pieces for the size), so the
// first of them decides and the rest are passed over.
std::vector<AxisChoice> fewest_ways_per_extent(const Search& search, AxisRule rule, const DimensionSplit& axis) {
  constexpr uint64_t kFirstWaysWithBothHalos = 3;
  std::vector<AxisChoice> choices;
  std::vector<uint32_t> extents;  // of the choices kept, sorted
  for (uint64_t ways = std::max(axis.splits, 1u); ways <= axis.total; ++ways) {
    const auto choice = rule(search, static_cast<uint32_t>(ways));
    if (ways >= kFirstWaysWithBothHalos) ways = last_ways_of_same_size(ways, axis.total);
    if (!choice) continue;
    const auto at = std::lower_bound(extents.begin(), extents.end(), choice->extent);
    if (at != extents.end() && *at == choice->extent) continue;
    extents.insert(at, choice->extent);
    choices.push_back(*choice);
  }
  return choices;
}

// a * b * c, or kNoNpCount or more when that leaves 32 bits.
uint64_t np_count(uint32_t a, uint32_t b, uint32_t c) { return std::min(uint64_t{a} * b, kNoNpCount) * c; }

// The fewest NPs of a distribution whose windows fit, or none. Whether a distribution fits
// depends on each axis only through the extent of its windows, so for each extent the fewest
// ways giving it stand for all others; only those combinations are asked.
std::optional<uint32_t> fewest_fitting_nps(const Search& search) {
  const auto widths = fewest_ways_per_extent(search, width_choice, search.width);
  const auto heights = fewest_ways_per_extent(search, height_choice, search.height);
  const auto groups = fewest_ways_per_extent(search, group_choice, search.neurons);
  if (widths.empty() || heights.empty() || groups.empty()) return std::nullopt;
  uint64_t best = kNoNpCount;
  for (const AxisChoice& w : widths) {
    if (np_count(w.ways, heights.front().ways, groups.front().ways) >= best) break;
    for (const AxisChoice& h : heights) {
      if (np_count(w.ways, h.ways, groups.front().ways) >= best) break;
      for (const AxisChoice& g : groups) {
        const uint64_t nps = np_count(w.ways, h.ways, g.ways);
        if (nps >= best) break;
        if (fit(search, h.extent, w.extent, g.extent) != SramBuffering::None) {
          best = nps;
          break;
        }
      }
    }
  }
  if (best == kNoNpCount) return std::nullopt;
  return static_cast<uint32_t>(best);
}

DimensionSplit split_of(const AxisChoice& choice, const DimensionSplit& axis) {
  return {choice.pieces.count, choice.pieces.size, axis.total, axis.max_size, axis.alignment};
}

}  // namespace

// The result is that of trying every number of NPs from the fewest the axes need upwards and,
// for each, every distribution in the order of get_splits_number: the first number at which a
// distribution fits is found first, and only its distributions are tried in order.
SramSplit find_sram_split(uint32_t channels, uint8_t input_bits, const NpSplitParams& params,
                          const CompatibilityChecker& checker, const DimensionSplit& height,
                          const DimensionSplit& width, const DimensionSplit& neurons, uint32_t fifo_size,
                          hw::Type type, bool dual_only, uint32_t reserved, bool channels_per_group,
                          bool allow_height_split, bool is_tnp_b) {
  const Search search{channels, input_bits, params,   checker,  height,           width,           neurons,
                      fifo_size, type,      dual_only, reserved, channels_per_group, allow_height_split, is_tnp_b};
  const auto nps = fewest_fitting_nps(search);
  if (!nps) return {};
  for (const SplitsNumChunks& distribution : SplitsNumChunks::get_splits_number(*nps)) {
    const auto w = width_choice(search, distribution.width);
    const auto h = height_choice(search, distribution.height);
    const auto g = group_choice(search, distribution.filters);
    if (!w || !h || !g) continue;
    const SramBuffering buffering = fit(search, h->extent, w->extent, g->extent);
    if (buffering == SramBuffering::None) continue;
    return {true, split_of(*w, width), split_of(*h, height), split_of(*g, neurons), buffering};
  }
  return {};
}

}  // namespace ornix
