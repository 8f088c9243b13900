#pragma once

// Builds the LayerMapping records of one pass and links them: producers to consumers,
// skip-DMA stores, loads and FIFOs, DMA channel numbers, Add shifts, Concatenate offsets,
// alternative branch heads, and the link to the previous pass.
//
// Layers are compared by identity (object address). The builder reads the layer graph and
// writes only LayerMapping records and the layers' mapping handles. Failures are thrown as
// std::runtime_error carrying a LayerMappingError text that names the layer; records already
// built and linked stay attached to their layers.

#include <cstddef>
#include <memory>
#include <vector>

#include "hardware/component.h"
#include "mapping/layer_graph.h"
#include "mapping/layer_mapping.h"
#include "ornix/hw/ident.h"
#include "ornix/layer.h"

namespace ornix {

class LayerMappingBuilder {
 public:
  using Layers = std::vector<std::shared_ptr<Layer>>;
  using ComponentLists = std::vector<std::vector<hw::Component>>;

  LayerMappingBuilder() = delete;

  // Gives every layer of the pass a fresh record (map_standalone), then links them
  // (link_layers_mapping) through one depth map.
  //   layers:       the pass's layers, in pass order.
  //   model_layers: every layer of the model being mapped; store indices, FIFO indices and
  //                 the first DMA channel number count over it.
  //   components:   one component list per pass layer, parallel to `layers`.
  //   dma_ident:    the DMA endpoint of the pass.
  static void build_layer_mapping(const Layers& layers, const Layers& model_layers, const ComponentLists& components,
                                  hw::Ident dma_ident);

  // Numbers the layers (0 on the HRC, 255 for a merge layer, otherwise a running number from 1
  // that advances by 2 for a TNP-B layer) and creates their records. std::invalid_argument
  // when `components` is not parallel to `layers`; a pass numbering past 254 is refused.
  static void map_standalone(const Layers& layers, const ComponentLists& components, hw::Ident dma_ident);

  // Creates one unlinked record from the layer's components and attaches it to the layer,
  // releasing the layer's share of the mapping it held.
  static void map_standalone(const std::shared_ptr<Layer>& layer, const std::vector<hw::Component>& components,
                             uint8_t layer_id, hw::Ident dma_ident);

  // update_layer_mapping for every layer of `layers` that targets neither None nor SkipDma, in
  // pass order. Every pass layer already has its record. `depths` is not null.
  static void link_layers_mapping(const Layers& layers, const Layers& model_layers, LayerDepthMap* depths);

  // Links one layer: output offset into a Concatenate, merge shifts, skip-DMA store and load,
  // alternative branch heads, and its producer in the pass.
  static void update_layer_mapping(const std::shared_ptr<Layer>& layer, const Layers& layers,
                                   const Layers& model_layers, LayerDepthMap* depths);

  // Marks the two branch heads of the alternative that opens after `layer` and sends the
  // layer's output to both. Refused when a layer of either branch lies outside `layers`, and
  // with std::out_of_range naming the layer when a branch is a merge layer with no outbound.
  static void set_alt_layers(const std::shared_ptr<Layer>& layer, const Layers& layers);

  // Continues the previous pass, ending at `last`, into the pass starting at `first` (both
  // mappable layers with records).
  static void link_to_previous_pass(const std::shared_ptr<Layer>& first, const std::shared_ptr<Layer>& last);
};

// When the layer's first outbound layer is a Concatenate that takes the layer as its second
// input behind a shallower first input, places the layer's output after that input's channels
// (sram_output_shift). Reads output dimensions, whose errors propagate. `depths` is not null.
void shift_output_into_sram(const std::shared_ptr<Layer>& layer, LayerDepthMap* depths);

// Zero-based position of the first entry of `layers` that is `layer`; refused when absent.
std::size_t get_fifo_index(const std::shared_ptr<Layer>& layer, const std::vector<std::shared_ptr<Layer>>& layers);

}  // namespace ornix
