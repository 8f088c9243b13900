#include "mapping/layer_graph.h"

namespace ornix {

namespace {

using Layers = std::vector<std::shared_ptr<Layer>>;

// The open-branch count after `layer`; the first layer of the caller's list is `first`.
int64_t open_after(int64_t open, const std::shared_ptr<Layer>& layer, const std::shared_ptr<Layer>& first) {
  return open + open_branch_change(*layer, layer == first);
}

Layers sorted_copy(const Layers& layers) {
  Layers sorted = layers;
  sort_by_depth(&sorted);
  return sorted;
}

}  // namespace

int64_t open_branch_change(const Layer& layer, bool first_of_run) {
  const auto closed = first_of_run ? 1 : static_cast<int64_t>(layer.inbound_layers().size());
  return static_cast<int64_t>(layer.outbound_layers().size()) - closed;
}

int64_t get_out_branches_count(const Layers& layers) {
  if (layers.empty()) return 0;
  // A sum: the order of the layers does not change it.
  int64_t open = 1;
  for (const auto& layer : layers) open = open_after(open, layer, layers.front());
  return open;
}

Layers get_layers_to_map_together(const Layers& layers) {
  Layers together;
  int64_t open = 1;
  for (const auto& layer : sorted_copy(layers)) {
    open = open_after(open, layer, layers.front());
    together.push_back(layer);
    if (open == 1 && !is_merge_layer(*layer)) break;
  }
  return together;
}

}  // namespace ornix
