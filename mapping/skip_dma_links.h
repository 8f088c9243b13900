#pragma once

// Steps of LayerMappingBuilder::update_layer_mapping that derive the skip-DMA and merge
// records: store indices, DMA channel numbers, stores, loads and merge shifts. Internal to the
// builder. Every layer handled has its LayerMapping; `depths` is never null.

#include <memory>
#include <vector>

#include "mapping/layer_graph.h"
#include "mapping/layer_mapping.h"
#include "ornix/layer.h"

namespace ornix {

// The layer follows a merge layer: a fresh merge_info with the merge kind, the second DMA
// channel number, the pass position and, for an Add, its shifts (a_shift from the deeper side).
void load_shift_variables(const std::shared_ptr<Layer>& layer, const std::vector<std::shared_ptr<Layer>>& layers,
                          const std::vector<std::shared_ptr<Layer>>& model_layers, LayerDepthMap* depths);

// The layer needs a store: a fresh skip_store for its first output.
void store_first_output(const std::shared_ptr<Layer>& layer, const std::vector<std::shared_ptr<Layer>>& layers,
                        const std::vector<std::shared_ptr<Layer>>& model_layers, LayerDepthMap* depths);

// The layer needs a load: a fresh skip_load and, for a dual-output layer, the store of its
// second output. A TNP-B layer's store_first_output has run before.
void compute_fifo_size(const std::shared_ptr<Layer>& layer, const std::vector<std::shared_ptr<Layer>>& layers,
                       const std::vector<std::shared_ptr<Layer>>& model_layers, LayerDepthMap* depths);

}  // namespace ornix
