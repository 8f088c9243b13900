#include "mapping/memory_figures.h"

#include <memory>

#include "mapping/layer_mapping.h"

namespace ornix {

namespace {

MemoryInfo figures_of(const MemorySizer& sizer, const std::shared_ptr<Layer>& layer, const hw::Component& component,
                      const std::shared_ptr<Layer>& input, bool dual_output, bool several_passes) {
  return {sizer.get_input_memory_size(layer, component, input), sizer.get_weight_memory_size(layer, component),
          sizer.get_external_memory_size(layer, component, dual_output, several_passes)};
}

}  // namespace

void fill_memory_figures(const Sequence& sequence, const MemorySizer& sizer) {
  const auto& passes = sequence.passes();
  const bool several = passes.size() > 1;
  const std::shared_ptr<Layer> input = passes.front()->layers.front();
  for (const auto& pass : passes) {
    for (const std::shared_ptr<Layer>& layer : pass->layers) {
      LayerMapping& mapping = record_of(*layer);
      for (hw::Component& component : *mapping.nps) {
        component.mem_info = figures_of(sizer, layer, component, input, false, several);
      }
      if (hw::Component* store = mapping.skipdma_store_dual_output()) {
        store->mem_info = figures_of(sizer, layer, *store, input, true, several);
      }
      if (hw::Component* store = mapping.skipdma_store()) {
        store->mem_info = figures_of(sizer, layer, *store, input, false, several);
      }
    }
  }
}

}  // namespace ornix
