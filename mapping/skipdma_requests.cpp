#include "mapping/skipdma_requests.h"

#include <cstddef>
#include <optional>

#include "mapping/layer_graph.h"

namespace ornix {

namespace {

// A skip-DMA channel of one direction, not placed yet.
hw::Component skip_dma_component(hw::Type type) { return {type, hw::Ident{}, std::nullopt, MemoryInfo{}}; }

}  // namespace

std::vector<hw::Type> layer_required_types(const std::shared_ptr<Layer>& layer,
                                           const std::vector<std::shared_ptr<Layer>>& layers) {
  std::vector<hw::Type> types;
  if (layer->is_target_component(ComponentKind::CNP)) {
    types.push_back(hw::Type::CNP1);
  } else if (layer->is_target_component(ComponentKind::TNP_B)) {
    types.push_back(hw::Type::TNP_B);
  }
  if (layer_need_store_dma(layer, layers) || is_dual_output_layer(layer)) types.push_back(hw::Type::SKIP_DMA_STORE);
  if (layer_need_load_dma(*layer)) types.push_back(hw::Type::SKIP_DMA_LOAD);
  return types;
}

std::vector<hw::Component> request_skipdma_store(const std::shared_ptr<Layer>& layer,
                                                 const std::vector<std::shared_ptr<Layer>>& layers) {
  const size_t count = size_t{layer->is_target_component(ComponentKind::TNP_B)} +
                       size_t{is_skip_layer(layer, layers)} + size_t{is_dual_output_layer(layer)};
  return std::vector<hw::Component>(count, skip_dma_component(hw::Type::SKIP_DMA_STORE));
}

std::vector<hw::Component> request_skipdma_load() { return {skip_dma_component(hw::Type::SKIP_DMA_LOAD)}; }

void request_skipdma(std::vector<hw::Component>* components, const std::vector<hw::Type>& types,
                     const std::shared_ptr<Layer>& layer, const std::vector<std::shared_ptr<Layer>>& layers) {
  if (types.size() < 2) return;
  for (auto type = types.begin() + 1; type != types.end(); ++type) {
    const auto requested =
        *type == hw::Type::SKIP_DMA_STORE ? request_skipdma_store(layer, layers) : request_skipdma_load();
    components->insert(components->end(), requested.begin(), requested.end());
  }
}

}  // namespace ornix
