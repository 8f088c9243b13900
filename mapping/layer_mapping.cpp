#include "mapping/layer_mapping.h"

#include <stdexcept>

#include "mapping/layer_mapping_messages.h"

namespace ornix {

namespace {

constexpr int32_t kNone = -1;

template <typename Stores>
auto* store_at(Stores& stores, int32_t index) {
  return index == kNone ? nullptr : &stores[static_cast<size_t>(index)];
}

}  // namespace

LayerMapping::LayerMapping() { nps = std::make_shared<std::vector<hw::Component>>(); }

std::shared_ptr<LayerMapping> LayerMapping::create() { return std::shared_ptr<LayerMapping>(new LayerMapping()); }

const hw::Component* LayerMapping::skipdma_load() const {
  return skipdma_loads.empty() ? nullptr : &skipdma_loads.front();
}

int32_t LayerMapping::get_skipdma_store_index() const {
  switch (skipdma_stores.size()) {
    case 1:
      return merge_info != nullptr && merge_info->dual_output ? kNone : 0;
    case 2:
      return 0;
    default:
      return kNone;
  }
}

const hw::Component* LayerMapping::skipdma_store() const { return store_at(skipdma_stores, get_skipdma_store_index()); }

hw::Component* LayerMapping::skipdma_store() { return store_at(skipdma_stores, get_skipdma_store_index()); }

int32_t LayerMapping::get_skipdma_store_dual_output_index() const {
  if (merge_info == nullptr || !merge_info->dual_output || skipdma_stores.empty()) return kNone;
  return static_cast<int32_t>(skipdma_stores.size() - 1);
}

const hw::Component* LayerMapping::skipdma_store_dual_output() const {
  return store_at(skipdma_stores, get_skipdma_store_dual_output_index());
}

hw::Component* LayerMapping::skipdma_store_dual_output() {
  return store_at(skipdma_stores, get_skipdma_store_dual_output_index());
}

std::shared_ptr<LayerMapping> layer_mapping_of(const Layer& layer) {
  return std::dynamic_pointer_cast<LayerMapping>(layer.mapping());
}

LayerMapping& record_of(const Layer& layer) {
  const std::shared_ptr<LayerMapping> record = layer_mapping_of(layer);
  if (record == nullptr) throw std::logic_error(missing_layer_mapping_message(layer.name()));
  return *record;
}

}  // namespace ornix
