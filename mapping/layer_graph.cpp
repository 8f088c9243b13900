#include "mapping/layer_graph.h"

#include <algorithm>

namespace ornix {

bool is_merge_layer(const Layer& layer) { return layer.is_target_component(ComponentKind::SkipDma); }

uint32_t get_layer_depth(const std::shared_ptr<Layer>& layer, LayerDepthMap* depths) {
  if (const auto known = depths->find(layer); known != depths->end()) return known->second;
  uint32_t deepest_inbound = 0;
  for (const auto& inbound : layer->inbound_layers()) {
    deepest_inbound = std::max(deepest_inbound, get_layer_depth(inbound, depths));
  }
  const uint32_t depth = deepest_inbound + 1;
  depths->emplace(layer, depth);
  return depth;
}

void sort_by_depth(std::vector<std::shared_ptr<Layer>>* layers, LayerDepthMap* depths) {
  for (const auto& layer : *layers) get_layer_depth(layer, depths);
  std::sort(layers->begin(), layers->end(),
            [depths](const auto& a, const auto& b) { return depths->at(a) < depths->at(b); });
}

void sort_by_depth(std::vector<std::shared_ptr<Layer>>* layers) {
  LayerDepthMap depths;
  sort_by_depth(layers, &depths);
}

}  // namespace ornix
