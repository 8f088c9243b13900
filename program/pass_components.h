#pragma once

// What the sequence builder derives from the components of built passes: input buffering of
// NPs that two passes share, the columns a pass occupies, and a layer's FNP padding flag. Every
// pass layer holds its LayerMapping (std::logic_error otherwise); passes are not empty.

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "ornix/layer.h"
#include "ornix/sequence.h"

namespace ornix {

using Passes = std::vector<std::shared_ptr<Sequence::Pass>>;

// With two passes or more: every NP component with an NP share becomes single-buffered, except
// an NP that the last mappable layer of a pass shares with the first mappable layer of the next
// pass, which is double-buffered on both sides. One pass: nothing changes.
void match_pass_components(const Passes& passes);

// The lowest and highest mesh column a pass occupies.
struct ColumnRange {
  uint8_t low = 0;
  uint8_t high = 0;
  bool operator==(const ColumnRange&) const = default;
};

// The columns of the pass's entry layer (its first mappable layer, or the layer after it when
// that is on the HRC): (0, 0) for a pass that is a lone HRC layer, (1, 1) for an entry mapped on
// the HRC alone, otherwise the smallest and largest column of its components. Empty when the
// entry holds no component (a Dequantizer, say). std::out_of_range for an HRC entry layer with
// no outbound layer.
std::optional<ColumnRange> pass_ident_byte_range(const Sequence::Pass& pass);

// The ranges of all passes folded (smallest low, largest high), passes without components
// left out; (0, 0) when no pass has any.
ColumnRange sequence_column_range(const Passes& passes);

// Whether the recorder pads `layer`'s output for the next mappable layer of its pass: for a
// generation-2 layer whose next layer is a TNP-B, or a CNP layer whose next layer is an FNP
// that takes 4-bit outputs or reads its input in row-aligned layout.
bool fnp_padding_flag(const std::shared_ptr<Layer>& layer, const std::vector<std::shared_ptr<Layer>>& pass_layers);

}  // namespace ornix
