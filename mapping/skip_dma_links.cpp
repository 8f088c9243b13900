#include "mapping/skip_dma_links.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <utility>

#include "hardware/mapping_status.h"
#include "mapping/layer_mapping_builder.h"
#include "mapping/layer_mapping_messages.h"

namespace ornix {

namespace {

using Layers = std::vector<std::shared_ptr<Layer>>;

bool is_first(const std::shared_ptr<Layer>& layer, const Layers& list) {
  return !list.empty() && list.front() == layer;
}

// 1 for the model's first layer; otherwise 1 + 2 per layer from the model's second through
// `layer` that needs a store or has a second output (each such layer owns an odd index and
// the even one after it).
std::size_t store_index(const std::shared_ptr<Layer>& layer, const Layers& model_layers) {
  std::size_t index = 1;
  if (is_first(layer, model_layers)) return index;
  for (std::size_t i = 1; i < model_layers.size(); ++i) {
    const std::shared_ptr<Layer>& entry = model_layers[i];
    if (layer_need_store_dma(entry, model_layers) || is_dual_output_layer(entry)) index += 2;
    if (entry == layer) break;
  }
  return index;
}

// The four DMA channel numbers of `layer`: past one per model layer, four per pass layer from
// the pass's second through `layer` that loads or stores through skip DMA.
std::array<std::size_t, 4> dma_channel_ids(const std::shared_ptr<Layer>& layer, const Layers& layers,
                                           const Layers& model_layers) {
  std::size_t first = model_layers.size() + 1;
  if (!is_first(layer, layers)) {
    for (std::size_t i = 1; i < layers.size(); ++i) {
      const std::shared_ptr<Layer>& entry = layers[i];
      if (layer_need_load_dma(*entry) || layer_need_store_dma(entry, model_layers)) first += 4;
      if (entry == layer) break;
    }
  }
  return {first, first + 1, first + 2, first + 3};
}

uint8_t checked_store_index(std::size_t index, const Layer& layer) {
  if (index > kLargestStoreIndex) LayerMappingError(layer, store_index_overflow_message(index)).throw_exception();
  return static_cast<uint8_t>(index);
}

uint8_t checked_channel(std::size_t channel, const Layer& layer) {
  if (channel > kLargestDmaChannel) LayerMappingError(layer, dma_channel_overflow_message(channel)).throw_exception();
  return static_cast<uint8_t>(channel);
}

// The largest depth gap from `layer` to its outbound layers, on a byte; 0 without any.
uint8_t largest_depth_gap(const std::shared_ptr<Layer>& layer, LayerDepthMap* depths) {
  const uint32_t depth = get_layer_depth(layer, depths);
  uint8_t gap = 0;
  for (const std::shared_ptr<Layer>& outbound : layer->outbound_layers()) {
    gap = std::max(gap, static_cast<uint8_t>(get_layer_depth(outbound, depths) - depth));
  }
  return gap;
}

// A TNP-B layer's FIFO: "fifo_size" + 1 frames, on a byte.
uint8_t fifo_depth(const Layer& layer) {
  return static_cast<uint8_t>(static_cast<uint32_t>(param_of(layer, kParamFifoSize)) + 1u);
}

bool targets_tnp_b(const Layer& layer) { return layer.is_target_component(ComponentKind::TNP_B); }

// Index of the store that keeps the shallower side of `merge`: the shallowest inbound layer's
// first output, or the second output of the layer behind it when that inbound is itself a
// merge layer.
std::size_t stored_branch_index(const std::shared_ptr<Layer>& merge, const Layers& model_layers) {
  Layers inbounds = merge->inbound_layers();
  sort_by_depth(&inbounds);
  const std::shared_ptr<Layer>& shallowest = inbounds.at(0);
  if (!is_merge_layer(*shallowest)) return store_index(shallowest, model_layers);
  Layers behind = shallowest->outbound_layers();
  sort_by_depth(&behind);
  return store_index(behind.at(0), model_layers) + 1;
}

}  // namespace

void load_shift_variables(const std::shared_ptr<Layer>& layer, const Layers& layers, const Layers& model_layers,
                          LayerDepthMap* depths) {
  LayerMapping& record = record_of(*layer);
  const std::shared_ptr<Layer> merge = layer->inbound_layers().at(0);
  record.merge_info = std::make_unique<MergeLayerMapInfo>();
  MergeLayerMapInfo& info = *record.merge_info;
  info.is_add = merge->params()->layer_type() == LayerType::Add;
  info.channel_id = checked_channel(dma_channel_ids(layer, layers, model_layers)[1], *layer);
  info.not_first_in_pass = first_mappable_layer(layers) != layer;
  if (!info.is_add) return;
  const Variables& variables = merge->variables();
  info.a_shift = variables.get(kVarAShift);
  info.b_shift = variables.get(kVarBShift);
  info.output_shift = variables.get(kVarOutputShift);
  const Layers inbounds = merge->inbound_layers();
  if (get_layer_depth(inbounds.at(0), depths) < get_layer_depth(inbounds.at(1), depths)) {
    std::swap(info.a_shift, info.b_shift);
  }
}

void store_first_output(const std::shared_ptr<Layer>& layer, const Layers& layers, const Layers& model_layers,
                        LayerDepthMap* depths) {
  LayerMapping& record = record_of(*layer);
  record.skip_store = std::make_unique<SkipDmaStoreInfo>();
  SkipDmaStoreInfo& store = *record.skip_store;
  if (targets_tnp_b(*layer)) {
    store.depth = fifo_depth(*layer);
    store.mode = 1;
    store.index = checked_store_index(get_fifo_index(layer, model_layers), *layer);
    return;
  }
  store.depth = static_cast<uint8_t>(largest_depth_gap(layer, depths) - 1);  // no consumer: 255
  store.index = checked_store_index(store_index(layer, model_layers), *layer);
  const Layers outbounds = layer->outbound_layers();
  if (outbounds.size() == 1 && is_merge_layer(*outbounds.front())) {
    record.output_id = checked_channel(dma_channel_ids(layer, layers, model_layers)[2], *layer);
    record.p2p_output = false;
    store.mode = 1;
  }
}

void compute_fifo_size(const std::shared_ptr<Layer>& layer, const Layers& layers, const Layers& model_layers,
                       LayerDepthMap* depths) {
  LayerMapping& record = record_of(*layer);
  record.skip_load = std::make_unique<SkipDmaLoadInfo>();
  SkipDmaLoadInfo& load = *record.skip_load;
  for (const std::shared_ptr<Layer>& entry : layers) get_layer_depth(entry, depths);

  if (targets_tnp_b(*layer)) {  // the layer reloads its own FIFO
    load.channel_id = static_cast<uint8_t>(record.layer_id - 1);
    load.depth_gap = fifo_depth(*layer);
    load.index = record.skip_store->index;
    return;
  }

  const std::shared_ptr<Layer> merge = layer->inbound_layers().at(0);
  const Layers merge_inbounds = merge->inbound_layers();
  const uint32_t d0 = get_layer_depth(merge_inbounds.at(0), depths);
  const uint32_t d1 = get_layer_depth(merge_inbounds.at(1), depths);
  const std::array<std::size_t, 4> channels = dma_channel_ids(layer, layers, model_layers);
  load.channel_id = checked_channel(channels[0], *layer);
  load.depth_gap = static_cast<uint8_t>(d0 > d1 ? d0 - d1 : d1 - d0);
  load.index = checked_store_index(stored_branch_index(merge, model_layers), *layer);
  if (d0 > d1 && merge->params()->layer_type() == LayerType::Concatenate) {
    load.concat_offset = merge_inbounds[0]->output_dimensions()[2];
  }

  if (!is_dual_output_layer(layer)) return;
  // merge_info exists: a dual-output layer is a CNP layer after a merge layer.
  record.merge_info->dual_output = true;
  record.merge_info->dual_output_channel_id = checked_channel(channels[3], *layer);
  record.skip_store_dual = std::make_unique<SkipDmaStoreInfo>();
  SkipDmaStoreInfo& store = *record.skip_store_dual;
  store.depth = static_cast<uint8_t>(largest_depth_gap(merge, depths) - 1);
  store.index = is_first(layer, model_layers) ? 2 : checked_store_index(store_index(layer, model_layers) + 1, *layer);
}

}  // namespace ornix
