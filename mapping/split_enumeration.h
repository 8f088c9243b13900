#pragma once

// The ways of distributing a number of NPs over the width, height and filters of a convolution.

#include <compare>
#include <cstdint>
#include <set>
#include <utility>
#include <vector>

namespace ornix {

// The pairs (a, b) with a * b = n and a >= b, ordered on (a, b); empty for n = 0.
std::set<std::pair<uint32_t, uint32_t>> factor_pairs(uint32_t n);

// One distribution of width * height * filters NPs. Ordered lexicographically.
struct SplitsNumChunks {
  uint32_t width = 0;    // width pieces
  uint32_t height = 0;   // height pieces
  uint32_t filters = 0;  // filter groups

  auto operator<=>(const SplitsNumChunks&) const = default;

  // Every unordered factorisation of n into three factors, each stored ascending.
  static std::set<SplitsNumChunks> factor_triplets(uint32_t n);
  // Every ordered factorisation of n into three factors once, in descending lexicographic
  // order: more width pieces first, then more height pieces.
  static std::vector<SplitsNumChunks> get_splits_number(uint32_t n);
};

}  // namespace ornix
