#include "mapping/dimension_split.h"

#include <limits>

#include "ornix/layer_types.h"

namespace ornix {

namespace {

constexpr uint64_t kU32Max = std::numeric_limits<uint32_t>::max();

}  // namespace

std::optional<uint32_t> checked_ceil_div(uint32_t a, uint32_t b) {
  if (b == 0) return std::nullopt;
  const uint64_t numerator = uint64_t{a} + b - 1;
  if (numerator > kU32Max) return std::nullopt;
  return static_cast<uint32_t>(numerator / b);
}

std::optional<PieceCount> align_pieces(uint32_t pieces, uint32_t total, uint32_t max_size, uint32_t alignment) {
  const auto size = checked_ceil_div(total, pieces);
  if (!size) return std::nullopt;
  PieceCount result{pieces, *size};
  if (pieces > 1 && alignment > 1) {
    const uint64_t rounded = (uint64_t{*size} + alignment - 1) / alignment * alignment;
    if (rounded <= max_size) {
      result.size = static_cast<uint32_t>(rounded);
    } else {
      result.size = static_cast<uint32_t>(rounded - alignment);
      const auto count = checked_ceil_div(total, result.size);
      if (!count) return std::nullopt;
      result.count = *count;
    }
  }
  if (result.size == 0) return std::nullopt;
  return result;
}

uint32_t split_alignment(const NpSplitParams& params) {
  return params.pool_type == static_cast<uint32_t>(PoolType::Max) ? params.pool_width : 1;
}

DimensionSplit split_dimension(uint32_t total, uint32_t max_size, uint32_t alignment) {
  if (max_size < alignment) return {};
  if (total <= max_size) return {total > 0 ? 1u : 0u, total, total, max_size, alignment};
  const auto splits = checked_ceil_div(total, max_size);
  if (!splits) return {};
  const auto pieces = align_pieces(*splits, total, max_size, alignment);
  if (!pieces) return {};
  return {pieces->count, pieces->size, total, max_size, alignment};
}

DimensionSplit find_dimension_split(const Layer& layer, const NpSplitParams& params, uint32_t max_size) {
  return split_dimension(layer.input_dimensions().at(0)[1], max_size, split_alignment(params));
}

DimensionSplit find_neurons_split(const Layer& layer, const CompatibilityChecker& checker,
                                  const DimensionSplit& start) {
  const uint32_t total = start.total;
  PieceCount accepted{start.splits, start.split_size};
  // The counter moves on by one whatever count the alignment turned a candidate into.
  uint32_t k = start.splits;
  while (true) {
    if (checker.is_weights_size_fit_np(layer, accepted.size)) {
      return {accepted.count, accepted.size, total, start.max_size, start.alignment};
    }
    if (k >= total) return {};
    ++k;
    const auto candidate = align_pieces(k, total, start.max_size, start.alignment);
    // Taken unless its last group would be empty.
    if (candidate && (k == 1 || uint64_t{candidate->count - 1} * candidate->size < total)) accepted = *candidate;
  }
}

}  // namespace ornix
