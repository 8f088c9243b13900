#include "mapping/layer_graph.h"

#include <algorithm>
#include <stdexcept>

#include "mapping/layer_graph_messages.h"

namespace ornix {

namespace {

using Layers = std::vector<std::shared_ptr<Layer>>;

Layers sorted_by_depth(Layers layers) {
  sort_by_depth(&layers);
  return layers;
}

}  // namespace

std::shared_ptr<Layer> first_mappable_layer(const Layers& layers) {
  if (layers.empty()) return nullptr;
  const auto& first = layers.front();
  LayerDepthMap depths;
  const uint32_t first_depth = get_layer_depth(first, &depths);
  const auto as_deep = std::count_if(layers.begin(), layers.end(), [&](const auto& layer) {
    return get_layer_depth(layer, &depths) == first_depth;
  });
  if (as_deep > 1) throw std::runtime_error(kMsgFirstMappableLayerUnsupported);
  if (!is_merge_layer(*first)) return first;

  const auto outbounds = sorted_by_depth(first->outbound_layers());
  if (outbounds.empty()) throw std::runtime_error(kMsgNoFirstLayerOfPass);
  if (outbounds.size() > 1 &&
      get_layer_depth(outbounds.front(), &depths) == get_layer_depth(outbounds.back(), &depths)) {
    throw std::runtime_error(kMsgFirstLayerOfPassUnsupported);
  }
  return outbounds.front();
}

std::shared_ptr<Layer> last_mappable_layer(const Layers& layers) {
  if (layers.empty()) return nullptr;
  const auto last = sorted_by_depth(layers).back();
  if (!is_merge_layer(*last)) return last;
  const auto inbounds = sorted_by_depth(last->inbound_layers());
  return inbounds.empty() ? nullptr : inbounds.back();
}

std::shared_ptr<Layer> following_layer(const Layer& layer) {
  const auto outbounds = layer.outbound_layers();
  if (outbounds.empty()) return nullptr;
  const auto& next = outbounds.front();
  if (!is_merge_layer(*next)) return next;
  const auto after_merge = next->outbound_layers();
  return after_merge.empty() ? nullptr : after_merge.front();
}

std::shared_ptr<Layer> next_mappable_layer(const std::shared_ptr<Layer>& layer, const Layers& layers) {
  return layer == last_mappable_layer(layers) ? nullptr : following_layer(*layer);
}

}  // namespace ornix
