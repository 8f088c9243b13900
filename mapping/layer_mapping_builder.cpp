#include "mapping/layer_mapping_builder.h"

#include <algorithm>
#include <stdexcept>

#include "hardware/mapping_status.h"
#include "hardware/messages.h"
#include "mapping/layer_mapping_messages.h"
#include "mapping/skip_dma_links.h"

namespace ornix {

namespace {

using Layers = LayerMappingBuilder::Layers;

bool contains(const Layers& layers, const std::shared_ptr<Layer>& layer) {
  return std::find(layers.begin(), layers.end(), layer) != layers.end();
}

// A new shared list of one endpoint component: no NP share, zero memory figures.
SharedComponents endpoint(hw::Type type, hw::Ident ident) {
  hw::Component component;
  component.type = type;
  component.ident = ident;
  return std::make_shared<std::vector<hw::Component>>(1, component);
}

// Erases the entries that lead to or from the DMA.
void remove_dma_mapped_layers(std::vector<SharedComponents>* lists) {
  std::erase_if(*lists, [](const SharedComponents& list) {
    return std::any_of(list->begin(), list->end(), [](const hw::Component& c) { return c.type == hw::Type::DMA; });
  });
}

// The layer whose NPs feed `layer` directly: its first inbound layer or, behind a merge
// layer, the deeper of the merge layer's first two inbound layers (the second on a tie).
std::shared_ptr<Layer> producer_of(const std::shared_ptr<Layer>& layer, const std::shared_ptr<Layer>& first_inbound,
                                   LayerDepthMap* depths) {
  if (!is_merge_layer(*first_inbound)) return first_inbound;
  const Layers inbounds = first_inbound->inbound_layers();
  const uint32_t d0 = get_layer_depth(inbounds.at(0), depths);
  const uint32_t d1 = get_layer_depth(inbounds.at(1), depths);
  if (std::max(d0, d1) == 0) LayerMappingError(*layer, kMsgModelCannotBeMapped).throw_exception();
  return d0 > d1 ? inbounds[0] : inbounds[1];
}

// The layer that heads the branch of the alternative `alt` starting at `branch`: the branch
// itself, or the first layer after it when it is a merge layer (std::out_of_range naming `alt`
// when there is none).
std::shared_ptr<Layer> branch_head(const Layer& alt, const std::shared_ptr<Layer>& branch) {
  if (!is_merge_layer(*branch)) return branch;
  const Layers after = branch->outbound_layers();
  if (after.empty()) {
    throw std::out_of_range(cannot_map_layer_message(alt.name()) + " " +
                            merge_branch_without_head_message(branch->name()));
  }
  return after.front();
}

}  // namespace

void LayerMappingBuilder::build_layer_mapping(const Layers& layers, const Layers& model_layers,
                                              const ComponentLists& components, hw::Ident dma_ident) {
  map_standalone(layers, components, dma_ident);
  LayerDepthMap depths;
  link_layers_mapping(layers, model_layers, &depths);
}

void LayerMappingBuilder::map_standalone(const Layers& layers, const ComponentLists& components,
                                         hw::Ident dma_ident) {
  if (components.size() != layers.size()) throw std::invalid_argument(kMsgComponentListPerLayer);
  uint32_t counter = 0;
  for (std::size_t i = 0; i < layers.size(); ++i) {
    const std::shared_ptr<Layer>& layer = layers[i];
    uint8_t id = 0;
    if (layer->is_target_component(ComponentKind::HRC)) {
      id = LayerMapping::kHrcLayerId;
    } else if (layer->is_target_component(ComponentKind::SkipDma)) {
      id = LayerMapping::kMergeLayerId;
    } else {
      counter += layer->is_target_component(ComponentKind::TNP_B) ? 2 : 1;  // a TNP-B also numbers its FIFO
      if (counter > kLargestNumberedLayerId) {
        LayerMappingError(*layer, layer_id_overflow_message(counter)).throw_exception();
      }
      id = static_cast<uint8_t>(counter);
    }
    map_standalone(layer, components[i], id, dma_ident);
  }
}

void LayerMappingBuilder::map_standalone(const std::shared_ptr<Layer>& layer,
                                         const std::vector<hw::Component>& components, uint8_t layer_id,
                                         hw::Ident dma_ident) {
  std::shared_ptr<LayerMapping> record = LayerMapping::create();
  record->layer_id = layer_id;
  record->inputs.push_back(layer->is_target_component(ComponentKind::HRC) ? endpoint(hw::Type::HRC, hw::Ident{})
                                                                          : endpoint(hw::Type::DMA, dma_ident));
  for (const hw::Component& component : components) {
    switch (component.type) {
      case hw::Type::SKIP_DMA_STORE:
        record->skipdma_stores.push_back(component);
        break;
      case hw::Type::SKIP_DMA_LOAD:
        record->skipdma_loads.push_back(component);
        break;
      default:
        record->nps->push_back(component);
    }
  }
  record->tnp_b_fifo = (!record->skipdma_loads.empty() || !record->skipdma_stores.empty()) &&
                       layer->is_target_component(ComponentKind::TNP_B);
  record->outputs.push_back(endpoint(hw::Type::DMA, dma_ident));
  layer->set_mapping(std::move(record));
}

void LayerMappingBuilder::link_layers_mapping(const Layers& layers, const Layers& model_layers,
                                              LayerDepthMap* depths) {
  for (const std::shared_ptr<Layer>& layer : layers) {
    if (layer->is_target_component(ComponentKind::None) || is_merge_layer(*layer)) continue;
    update_layer_mapping(layer, layers, model_layers, depths);
  }
}

void LayerMappingBuilder::update_layer_mapping(const std::shared_ptr<Layer>& layer, const Layers& layers,
                                               const Layers& model_layers, LayerDepthMap* depths) {
  const Layers inbounds = layer->inbound_layers();
  if (inbounds.empty()) return;
  LayerMapping& record = record_of(*layer);
  const std::shared_ptr<Layer>& first_inbound = inbounds.front();

  shift_output_into_sram(layer, depths);
  if (layer->is_target_component(ComponentKind::CNP) && is_merge_layer(*first_inbound)) {
    load_shift_variables(layer, layers, model_layers, depths);
  }
  if (layer_need_store_dma(layer, model_layers)) store_first_output(layer, layers, model_layers, depths);
  if (layer_need_load_dma(*layer)) compute_fifo_size(layer, layers, model_layers, depths);
  if (is_alt_layer(layer, depths)) set_alt_layers(layer, layers);

  if (!contains(layers, first_inbound)) return;  // fed by the previous pass
  const std::shared_ptr<Layer> producer = producer_of(layer, first_inbound, depths);
  LayerMapping& source = record_of(*producer);
  record.inputs.push_back(source.nps);
  remove_dma_mapped_layers(&record.inputs);
  source.p2p_output = false;
  remove_dma_mapped_layers(&source.outputs);
  if (!is_alt_layer(producer, depths)) {  // an alternative's outputs are its branch heads
    source.outputs.push_back(record.nps);
    source.output_id = record.layer_id;
  }
  if (layer->is_target_component(ComponentKind::TNP_B)) {
    source.outputs.push_back(std::make_shared<std::vector<hw::Component>>(record.skipdma_loads));
  }
}

void LayerMappingBuilder::set_alt_layers(const std::shared_ptr<Layer>& layer, const Layers& layers) {
  Layers branches = layer->outbound_layers();
  sort_by_depth(&branches);
  for (const std::shared_ptr<Layer>& branch : branches) {
    if (!contains(layers, branch)) LayerMappingError(*layer, kMsgAltSecondBranchInNextPass).throw_exception();
  }
  LayerMapping& first = record_of(*branch_head(*layer, branches.at(0)));
  LayerMapping& second = record_of(*branch_head(*layer, branches.at(1)));
  const auto np_count = static_cast<uint32_t>(first.nps->size() + second.nps->size());
  first.alt_info = std::make_unique<AltLayerMapInfo>(AltLayerMapInfo{.branch = 0, .np_count = np_count});
  second.alt_info = std::make_unique<AltLayerMapInfo>(
      AltLayerMapInfo{.branch = 1, .np_count = np_count, .first_branch_id = first.layer_id});

  LayerMapping& record = record_of(*layer);
  record.output_id = first.layer_id;
  record.outputs.push_back(first.nps);
  record.outputs.push_back(second.nps);
}

void LayerMappingBuilder::link_to_previous_pass(const std::shared_ptr<Layer>& first,
                                                const std::shared_ptr<Layer>& last) {
  LayerMapping& first_record = record_of(*first);
  LayerMapping& last_record = record_of(*last);
  last_record.outputs.assign(1, first_record.nps);
  last_record.p2p_output = false;
  last_record.output_id = static_cast<uint8_t>(last_record.layer_id + 1);
  first_record.input_id = last_record.output_id;
  first_record.inputs.push_back(last_record.nps);
}

void shift_output_into_sram(const std::shared_ptr<Layer>& layer, LayerDepthMap* depths) {
  if (is_merge_layer(*layer)) return;
  const Layers outbounds = layer->outbound_layers();
  if (outbounds.empty() || outbounds.front()->params()->layer_type() != LayerType::Concatenate) return;
  const Layers inputs = outbounds.front()->inbound_layers();
  const std::shared_ptr<Layer>& before = inputs.at(0);
  if (inputs.at(1) != layer || get_layer_depth(before, depths) >= get_layer_depth(layer, depths)) return;
  record_of(*layer).sram_output_shift = before->output_dimensions()[2];
}

std::size_t get_fifo_index(const std::shared_ptr<Layer>& layer, const std::vector<std::shared_ptr<Layer>>& layers) {
  const auto found = std::find(layers.begin(), layers.end(), layer);
  if (found == layers.end()) LayerMappingError(*layer, kMsgLayerNotFoundInSequence).throw_exception();
  return static_cast<std::size_t>(found - layers.begin());
}

}  // namespace ornix
