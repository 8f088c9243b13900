#include "program/pass_components.h"

#include <algorithm>

#include "backend/v2/fnp_input_layout.h"
#include "hardware/component.h"
#include "mapping/layer_graph.h"
#include "mapping/layer_mapping.h"
#include "program/limits.h"

namespace ornix {

void match_pass_components(const Passes& passes) {
  if (passes.size() < 2) return;
  for (const auto& pass : passes) {
    for (const auto& layer : pass->layers) {
      for (hw::Component& component : *record_of(*layer).nps) {
        if (component.allocation) component.allocation->single_buffer = true;
      }
    }
  }
  for (size_t k = 0; k + 1 < passes.size(); ++k) {
    std::vector<hw::Component>& ending = *record_of(*last_mappable_layer(passes[k]->layers)).nps;
    std::vector<hw::Component>& starting = *record_of(*first_mappable_layer(passes[k + 1]->layers)).nps;
    for (hw::Component& shared : ending) {
      if (!shared.allocation) continue;
      const auto same = std::find_if(starting.begin(), starting.end(),
                                     [&](const hw::Component& other) { return other.ident == shared.ident; });
      if (same == starting.end()) continue;
      shared.allocation->single_buffer = false;
      if (same->allocation) same->allocation->single_buffer = false;
    }
  }
}

std::optional<ColumnRange> pass_ident_byte_range(const Sequence::Pass& pass) {
  std::shared_ptr<Layer> entry = first_mappable_layer(pass.layers);
  if (entry->is_target_component(ComponentKind::HRC)) {
    if (pass.layers.size() == 1) return ColumnRange{0, 0};
    entry = entry->outbound_layers().at(0);
  }
  const std::vector<hw::Component>& nps = *record_of(*entry).nps;
  if (nps.empty()) return std::nullopt;
  if (nps.size() == 1 && nps.front().type == hw::Type::HRC) return ColumnRange{1, 1};
  const auto [low, high] = std::minmax_element(
      nps.begin(), nps.end(), [](const hw::Component& a, const hw::Component& b) { return a.ident.col < b.ident.col; });
  return ColumnRange{low->ident.col, high->ident.col};
}

ColumnRange sequence_column_range(const Passes& passes) {
  std::optional<ColumnRange> folded;
  for (const auto& pass : passes) {
    const std::optional<ColumnRange> range = pass_ident_byte_range(*pass);
    if (!range) continue;
    if (!folded) {
      folded = range;
    } else {
      folded->low = std::min(folded->low, range->low);
      folded->high = std::max(folded->high, range->high);
    }
  }
  return folded.value_or(ColumnRange{});
}

bool fnp_padding_flag(const std::shared_ptr<Layer>& layer, const std::vector<std::shared_ptr<Layer>>& pass_layers) {
  if (layer->ip_version() != IpVersion::v2) return false;
  // The layer after this one decides; the pass's last mappable layer has none. Ask the graph
  // first: finding the pass's last layer sorts the whole pass.
  const std::shared_ptr<Layer> next = following_layer(*layer);
  if (!next) return false;
  bool padded = next->is_target_component(ComponentKind::TNP_B);
  if (!padded && layer->is_target_component(ComponentKind::CNP) && next->is_target_component(ComponentKind::FNP)) {
    padded = layer->output_bits() == program::kRowPaddedCnpOutputBits ||
             v2::get_fnp_supported_padding(*next, false) == v2::InputPadding::RowAligned;
  }
  return padded && layer != last_mappable_layer(pass_layers);
}

}  // namespace ornix
