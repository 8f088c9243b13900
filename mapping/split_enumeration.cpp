#include "mapping/split_enumeration.h"

#include <algorithm>
#include <array>

namespace ornix {

namespace {

SplitsNumChunks ascending(uint32_t a, uint32_t b, uint32_t c) {
  std::array<uint32_t, 3> factors{a, b, c};
  std::sort(factors.begin(), factors.end());
  return {factors[0], factors[1], factors[2]};
}

}  // namespace

std::set<std::pair<uint32_t, uint32_t>> factor_pairs(uint32_t n) {
  std::set<std::pair<uint32_t, uint32_t>> pairs;
  for (uint64_t i = 1; i * i <= n; ++i) {
    if (n % i != 0) continue;
    const auto small = static_cast<uint32_t>(i);
    pairs.emplace(n / small, small);
  }
  return pairs;
}

std::set<SplitsNumChunks> SplitsNumChunks::factor_triplets(uint32_t n) {
  std::set<SplitsNumChunks> triplets;
  for (const auto& [a, b] : factor_pairs(n)) {
    for (const auto& [c, d] : factor_pairs(b)) triplets.insert(ascending(a, c, d));
    for (const auto& [c, d] : factor_pairs(a)) triplets.insert(ascending(c, d, b));
  }
  return triplets;
}

std::vector<SplitsNumChunks> SplitsNumChunks::get_splits_number(uint32_t n) {
  std::set<SplitsNumChunks> ordered;
  for (const SplitsNumChunks& triplet : factor_triplets(n)) {
    std::array<uint32_t, 3> factors{triplet.width, triplet.height, triplet.filters};
    do {
      ordered.insert({factors[0], factors[1], factors[2]});
    } while (std::next_permutation(factors.begin(), factors.end()));
  }
  return {ordered.rbegin(), ordered.rend()};
}

}  // namespace ornix
