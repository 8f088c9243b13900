#include "mapping/sram_split.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <random>
#include <sstream>
#include <vector>

#include "mapping/dimension_split.h"
#include "mapping/split_enumeration.h"
#include "mapping/split_fixtures.h"

namespace ornix::test {
namespace {

// One search's arguments.
struct Case {
  uint32_t channels;
  NpSplitParams params;
  DimensionSplit height, width, neurons;
  uint64_t dual_area, single_area;
  bool area_counts_channels, dual_only, channels_per_group, allow_height_split, is_tnp_b;
};

// The windows of `ways` pieces of an axis, as the search describes them: pieces aligned, none
// empty, and the halo on the sides that have neighbours.
struct Window {
  PieceCount pieces;
  uint32_t extent;
};

std::optional<PieceCount> pieces_of(uint32_t ways, const DimensionSplit& axis) {
  if (ways == 0 || ways < axis.splits || ways - 1 >= axis.total) return std::nullopt;
  const auto pieces = align_pieces(ways, axis.total, axis.max_size, axis.alignment);
  if (!pieces || uint64_t{pieces->count - 1} * pieces->size >= axis.total) return std::nullopt;
  return pieces;
}

std::optional<Window> spatial(uint32_t ways, const DimensionSplit& axis, uint32_t before, uint32_t after) {
  const auto pieces = pieces_of(ways, axis);
  if (!pieces) return std::nullopt;
  const uint32_t halo = pieces->count > 2 ? before + after : pieces->count == 2 ? std::max(before, after) : 0;
  return Window{*pieces, pieces->size + halo};
}

std::optional<Window> groups(uint32_t ways, const Case& c) {
  const auto pieces = pieces_of(ways, c.neurons);
  if (!pieces) return std::nullopt;
  if (c.channels_per_group && c.is_tnp_b && pieces->count > 1) {
    const uint32_t last = c.neurons.total - (pieces->count - 1) * pieces->size;
    if (c.neurons.alignment == 0 || last % c.neurons.alignment != 0) return std::nullopt;
  }
  return Window{*pieces, c.channels_per_group ? pieces->size : c.channels};
}

DimensionSplit split_of(const Window& window, const DimensionSplit& axis) {
  return {window.pieces.count, window.pieces.size, axis.total, axis.max_size, axis.alignment};
}

constexpr uint32_t kMostWidth = 16, kMostHeight = 8, kMostNeurons = 48;

// Every number of NPs from one upwards and, for each, every distribution in order.
SramSplit plain_search(const Case& c) {
  static const auto distributions = [] {
    std::vector<std::vector<SplitsNumChunks>> all(kMostWidth * kMostHeight * kMostNeurons + 1);
    for (uint32_t nps = 1; nps < all.size(); ++nps) all[nps] = SplitsNumChunks::get_splits_number(nps);
    return all;
  }();
  const uint64_t most = uint64_t{c.width.total} * c.height.total * c.neurons.total;
  for (uint64_t nps = 1; nps <= most; ++nps) {
    for (const SplitsNumChunks& d : distributions[nps]) {
      const auto w = spatial(d.width, c.width, c.params.left, c.params.right);
      const auto h = d.height > 1 && !c.allow_height_split ? std::nullopt
                                                            : spatial(d.height, c.height, c.params.top, c.params.bottom);
      const auto g = groups(d.filters, c);
      if (!w || !h || !g) continue;
      const uint64_t area = uint64_t{h->extent} * w->extent * (c.area_counts_channels ? g->extent : 1);
      SramBuffering buffering = SramBuffering::None;
      if (area <= c.dual_area) {
        buffering = SramBuffering::Dual;
      } else if (!c.dual_only && area <= c.single_area) {
        buffering = SramBuffering::Single;
      }
      if (buffering == SramBuffering::None) continue;
      return {true, split_of(*w, c.width), split_of(*h, c.height), split_of(*g, c.neurons), buffering};
    }
  }
  return {};
}

DimensionSplit random_axis(std::mt19937& random, uint32_t largest) {
  const auto pick = [&](uint32_t lo, uint32_t hi) { return std::uniform_int_distribution<uint32_t>(lo, hi)(random); };
  const uint32_t alignments[] = {0, 1, 2, 3, 4, 8};
  DimensionSplit axis;
  axis.total = pick(1, largest);
  axis.max_size = pick(1, axis.total + 2);
  axis.alignment = alignments[pick(0, 5)];
  axis.splits = pick(1, std::min(axis.total, 3u));
  return axis;
}

// The search over each axis' ways passes over the ways that cannot bring a new window; it must
// still answer as the plain search does, for every kind of axis, halo and memory.
TEST(SramSplit, AnswersAsTheSearchOverEveryNpCountAndDistribution) {
  std::mt19937 random(20261207);
  const auto pick = [&](uint32_t lo, uint32_t hi) { return std::uniform_int_distribution<uint32_t>(lo, hi)(random); };
  int found = 0;
  for (int i = 0; i < 1000; ++i) {
    Case c{};
    c.channels = pick(1, 16);
    c.params = {pick(0, 3), pick(0, 3), pick(0, 3), pick(0, 3), 0, 0, 0, 0};
    c.width = random_axis(random, kMostWidth);
    c.height = random_axis(random, kMostHeight);
    c.neurons = random_axis(random, kMostNeurons);
    c.area_counts_channels = pick(0, 1) == 1;
    c.dual_area = pick(1, c.area_counts_channels ? 4000 : 400);
    c.single_area = c.dual_area + pick(0, 400);
    c.dual_only = pick(0, 3) == 0;
    c.channels_per_group = pick(0, 1) == 1;
    c.allow_height_split = pick(0, 3) != 0;
    c.is_tnp_b = pick(0, 2) == 0;

    SplitChecker checker;
    checker.dual_area = c.dual_area;
    checker.single_area = c.single_area;
    checker.area_counts_channels = c.area_counts_channels;
    const SramSplit split =
        find_sram_split(c.channels, 8, c.params, checker, c.height, c.width, c.neurons, 16, hw::Type::CNP1,
                        c.dual_only, 0, c.channels_per_group, c.allow_height_split, c.is_tnp_b);
    const SramSplit expected = plain_search(c);
    std::ostringstream args;
    args << "case " << i << ": width " << c.width.total << "/" << c.width.max_size << "/" << c.width.alignment
         << ", height " << c.height.total << "/" << c.height.max_size << "/" << c.height.alignment << ", neurons "
         << c.neurons.total << "/" << c.neurons.max_size << "/" << c.neurons.alignment;
    ASSERT_EQ(split, expected) << args.str();
    found += split.found ? 1 : 0;
  }
  // Both outcomes are well represented.
  EXPECT_GT(found, 200);
  EXPECT_LT(found, 800);
}

}  // namespace
}  // namespace ornix::test
