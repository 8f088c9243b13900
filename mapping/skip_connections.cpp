#include "mapping/layer_graph.h"

#include <algorithm>
#include <utility>

namespace ornix {

namespace {

using Layers = std::vector<std::shared_ptr<Layer>>;

bool contains(const Layers& layers, const std::shared_ptr<Layer>& layer) {
  return std::find(layers.begin(), layers.end(), layer) != layers.end();
}

// Appends `layer` and its ancestors not yet in `branch`, depth-first, each before its inbound
// layers (pre-order), inbound layers in link order.
void collect_branch_layers(const std::shared_ptr<Layer>& layer, Layers* branch) {
  if (contains(*branch, layer)) return;
  branch->push_back(layer);
  for (const auto& inbound : layer->inbound_layers()) collect_branch_layers(inbound, branch);
}

}  // namespace

bool is_split_layer(const std::shared_ptr<Layer>& layer) { return layer->outbound_layers().size() > 1; }

bool is_alt_layer(const std::shared_ptr<Layer>& layer, LayerDepthMap* depths) {
  const auto outbounds = layer->outbound_layers();
  return outbounds.size() == 2 && get_layer_depth(outbounds[0], depths) == get_layer_depth(outbounds[1], depths);
}

bool layer_need_load_dma(const Layer& layer) {
  if (layer.is_target_component(ComponentKind::TNP_B)) return true;
  if (!layer.is_target_component(ComponentKind::CNP)) return false;
  const auto inbounds = layer.inbound_layers();
  return !inbounds.empty() && is_merge_layer(*inbounds.front());
}

bool is_dual_output_layer(const std::shared_ptr<Layer>& layer) {
  if (!layer->is_target_component(ComponentKind::CNP)) return false;
  const auto inbounds = layer->inbound_layers();
  return !inbounds.empty() && is_merge_layer(*inbounds.front()) && is_split_layer(inbounds.front());
}

bool is_skip_layer(const std::shared_ptr<Layer>& layer, const Layers& layers) {
  // Only a merge layer fed by `layer` can have it as its shallowest inbound layer. Looking at the
  // layer's own outbound layers spares a depth sort of every merge layer of the list on each call
  // (callers ask it of every layer, which made mapping grow with the cube of the model's size).
  for (const auto& candidate : layer->outbound_layers()) {
    if (!is_merge_layer(*candidate) || !contains(layers, candidate)) continue;
    auto inbounds = candidate->inbound_layers();
    sort_by_depth(&inbounds);
    if (!inbounds.empty() && inbounds.front() == layer) return true;
  }
  return false;
}

bool layer_need_store_dma(const std::shared_ptr<Layer>& layer, const Layers& layers) {
  return layer->is_target_component(ComponentKind::TNP_B) || is_skip_layer(layer, layers) ||
         is_dual_output_layer(layer);
}

SkipConnectBranch get_skipconnect_branch(const std::shared_ptr<Layer>& merge, LayerDepthMap* depths) {
  const auto inbounds = merge->inbound_layers();
  if (inbounds.size() < 2) return {};
  auto main_side = inbounds[0];
  auto skip_side = inbounds[1];
  if (get_layer_depth(main_side, depths) < get_layer_depth(skip_side, depths)) std::swap(main_side, skip_side);

  SkipConnectBranch result;
  collect_branch_layers(main_side, &result.main_branch);
  collect_branch_layers(skip_side, &result.skip_branch);

  Layers common;
  for (const auto& layer : result.main_branch) {
    if (contains(result.skip_branch, layer)) common.push_back(layer);
  }
  const auto is_common = [&common](const auto& layer) { return contains(common, layer); };
  std::erase_if(result.main_branch, is_common);
  std::erase_if(result.skip_branch, is_common);

  sort_by_depth(&result.main_branch, depths);
  sort_by_depth(&result.skip_branch, depths);
  sort_by_depth(&common, depths);
  if (!common.empty()) result.fork_layer = common.back();
  return result;
}

}  // namespace ornix
