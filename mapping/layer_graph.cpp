#include "mapping/layer_graph.h"

#include <algorithm>
#include <vector>

namespace ornix {

bool is_merge_layer(const Layer& layer) { return layer.is_target_component(ComponentKind::SkipDma); }

uint32_t get_layer_depth(const std::shared_ptr<Layer>& layer, LayerDepthMap* depths) {
  if (const auto known = depths->find(layer); known != depths->end()) return known->second;
  // Depth-first without recursion, so that a long chain of layers cannot exhaust the stack: a
  // layer is settled once every inbound layer is.
  std::vector<std::shared_ptr<Layer>> pending{layer};
  while (!pending.empty()) {
    const std::shared_ptr<Layer> current = pending.back();
    uint32_t deepest_inbound = 0;
    bool settled = true;
    for (const auto& inbound : current->inbound_layers()) {
      if (const auto known = depths->find(inbound); known != depths->end()) {
        deepest_inbound = std::max(deepest_inbound, known->second);
      } else {
        pending.push_back(inbound);
        settled = false;
      }
    }
    if (!settled) continue;
    depths->emplace(current, deepest_inbound + 1);
    pending.pop_back();
  }
  return depths->at(layer);
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
