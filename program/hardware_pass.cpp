#include "program/hardware_pass.h"

#include <stdexcept>

#include "mapping/layer_graph.h"
#include "mapping/layer_mapping.h"
#include "program/messages.h"

namespace ornix {

namespace {

// The DMA endpoint through which the pass ending at `previous` hands its output on.
hw::Ident dma_after(const std::shared_ptr<HardwarePass>& previous) {
  if (previous == nullptr) throw std::invalid_argument(program::kMsgNoPreviousPass);
  const std::shared_ptr<Layer> last = last_mappable_layer(previous->layers);
  for (const SharedComponents& outputs : record_of(*last).outputs) {
    for (const hw::Component& component : *outputs) {
      if (component.type == hw::Type::DMA) return component.ident;
    }
  }
  throw std::logic_error(program::previous_pass_without_dma(last->name()));
}

}  // namespace

HardwarePass::HardwarePass(const Layers& layers, const Layers& model_layers, const ComponentLists& components,
                           hw::Ident dma_ident) {
  LayerMappingBuilder::build_layer_mapping(layers, model_layers, components, dma_ident);
  this->layers = layers;
}

HardwarePass::HardwarePass(const Layers& layers, const Layers& model_layers, const ComponentLists& components,
                           const std::shared_ptr<HardwarePass>& previous)
    : HardwarePass(layers, model_layers, components, dma_after(previous)) {
  LayerMappingBuilder::link_to_previous_pass(first_mappable_layer(this->layers),
                                             last_mappable_layer(previous->layers));
}

}  // namespace ornix
