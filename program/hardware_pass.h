#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "mapping/layer_mapping_builder.h"
#include "ornix/hw/ident.h"
#include "ornix/layer.h"
#include "ornix/sequence.h"

namespace ornix {

// The layers of one pass (the base's `layers`, in the order the mapping produced them), which
// the device runs with one programming of its NPs. Making a pass gives each of its layers a
// LayerMapping, linked within the pass and, for a later pass, to the pass before it. Held by
// shared ownership: by the sequence builder, then by the sequence.
class HardwarePass final : public Sequence::Pass {
 public:
  using Layers = LayerMappingBuilder::Layers;
  using ComponentLists = LayerMappingBuilder::ComponentLists;

  // The first pass of a sequence. `layers`: the pass's layers; `model_layers`: every layer
  // being mapped; `components`: one list per pass layer; `dma_ident`: the DMA endpoint of the
  // pass (the mesh's dma_event). Errors of the layer-mapping builder pass out.
  HardwarePass(const Layers& layers, const Layers& model_layers, const ComponentLists& components,
               hw::Ident dma_ident);
  // A later pass: its DMA endpoint is the first DMA component among the outputs of the previous
  // pass's last mappable layer, and its first mappable layer continues from that layer.
  // std::invalid_argument for a null `previous`; std::logic_error when that layer's outputs hold
  // no DMA component (never the case for passes made here).
  HardwarePass(const Layers& layers, const Layers& model_layers, const ComponentLists& components,
               const std::shared_ptr<HardwarePass>& previous);

  std::size_t size() const { return layers.size(); }
};

}  // namespace ornix
