#include "program/skip_dma_entries.h"

#include "mapping/layer_mapping.h"

namespace ornix {

namespace {

// Words of one transfer: `rows_a` x `rows_b` rows of `packed` values of `bits` bits, each row
// in whole 32-bit words.
uint32_t transfer_words(uint32_t bits, uint32_t packed, uint32_t rows_a, uint32_t rows_b) {
  return ((bits * packed + 31) >> 5) * rows_a * rows_b;
}

uint32_t store_words(const Layer& layer, bool tnp_b) {
  if (tnp_b) {
    const Shape in = layer.input_dimensions().at(0);
    return transfer_words(layer.input_bits(), in[2], in[0], in[1]);
  }
  const Shape out = layer.output_dimensions();
  return transfer_words(layer.output_bits(), out[2], out[0], out[1]);
}

uint32_t dual_store_words(const Layer& layer, bool tnp_b) {
  const Shape in = layer.input_dimensions().at(0);
  return tnp_b ? transfer_words(layer.input_bits(), in[2], in[0], in[1])
               : transfer_words(layer.input_bits(), in[0], in[1], in[2]);
}

fb::SKipDmaInfoTrack entry(const hw::Component& component, bool tnp_b, uint8_t param_a, uint8_t param_b,
                           uint32_t word_count) {
  const hw::Ident& id = component.ident;
  return fb::SKipDmaInfoTrack(id.col, id.row, id.id, id.channel, tnp_b ? 1 : 0, param_a, param_b, word_count);
}

template <typename Info>
Info or_zeros(const std::unique_ptr<Info>& info) {
  return info ? *info : Info{};
}

}  // namespace

SkipDmaEntries skip_dma_entries(const std::vector<std::shared_ptr<Layer>>& layers) {
  SkipDmaEntries entries;
  for (const auto& layer : layers) {
    const auto mapping = layer_mapping_of(*layer);
    if (!mapping) continue;
    const bool tnp_b = layer->is_target_component(ComponentKind::TNP_B);
    if (const hw::Component* store = mapping->skipdma_store()) {
      const SkipDmaStoreInfo info = or_zeros(mapping->skip_store);
      entries.stores.push_back(entry(*store, tnp_b, info.depth, info.index, store_words(*layer, tnp_b)));
    }
    if (const hw::Component* dual = mapping->skipdma_store_dual_output()) {
      const SkipDmaStoreInfo info = or_zeros(mapping->skip_store_dual);
      entries.stores.push_back(entry(*dual, false, info.depth, info.index, dual_store_words(*layer, tnp_b)));
    }
    if (const hw::Component* load = mapping->skipdma_load()) {
      const SkipDmaLoadInfo info = or_zeros(mapping->skip_load);
      entries.loads.push_back(entry(*load, tnp_b, info.depth_gap, info.index, 0));
    }
  }
  return entries;
}

}  // namespace ornix
