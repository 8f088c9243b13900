#pragma once

// The hardware mapping of one layer inside one pass, and the small per-link records that the
// generation back ends turn into register fields and DMA descriptors.
//
// LayerMappingBuilder creates one record per pass layer, attaches it to the layer and links
// the records; afterwards the serializer and the recorders only read them (the mapping
// attempt also writes the memory figures of the store components).

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "hardware/component.h"
#include "ornix/layer.h"
#include "ornix/tensor.h"

namespace ornix {

// A component list shared between records: a layer's `nps` list is the same object as the
// `inputs` entry of its consumers and the `outputs` entry of its producers, so memory figures
// written later through one are seen through all.
using SharedComponents = std::shared_ptr<std::vector<hw::Component>>;

// What a layer that follows a merge layer needs of that merge layer.
struct MergeLayerMapInfo {
  bool is_add = false;      // the merge layer is an Add
  uint32_t channel_id = 0;  // the second of the layer's DMA channel numbers (0..255)
  // The Add's "a_shift", "b_shift" and "output_shift" (null for another merge). a_shift
  // belongs to the merge layer's deeper inbound branch, b_shift to the shallower one.
  std::shared_ptr<const Dense> a_shift;
  std::shared_ptr<const Dense> b_shift;
  std::shared_ptr<const Dense> output_shift;
  bool dual_output = false;            // the layer delivers a second output through a skip-DMA store
  uint8_t dual_output_channel_id = 0;  // the fourth of its DMA channel numbers, set with dual_output
  bool not_first_in_pass = true;       // false for the first mappable layer of its pass
};

// One skip-DMA store of a layer.
struct SkipDmaStoreInfo {
  uint8_t depth = 0;  // layers the stored data waits (a TNP-B layer: its "fifo_size" + 1)
  uint8_t mode = 0;   // 1 for a TNP-B FIFO store and a store whose only consumer is a merge layer
  // Channel index: odd (1, 3, 5 ...) for a first output, the next even number for a second
  // output, the layer's position in the model for a TNP-B layer.
  uint8_t index = 0;

  bool operator==(const SkipDmaStoreInfo&) const = default;
};

// The skip-DMA load of a layer.
struct SkipDmaLoadInfo {
  uint8_t channel_id = 0;
  uint8_t depth_gap = 0;
  uint8_t index = 0;           // index of the store the load reads
  uint32_t concat_offset = 0;  // channel offset under a Concatenate merge, else 0

  bool operator==(const SkipDmaLoadInfo&) const = default;
};

// One of the two layers heading the branches of an alternative (partial reconfiguration).
struct AltLayerMapInfo {
  uint32_t branch = 0;          // 0 for the first branch, 1 for the second
  uint32_t np_count = 0;        // components in the `nps` lists of both branch heads together
  uint8_t first_branch_id = 0;  // the first branch head's layer_id, on the second's record; else 0

  bool operator==(const AltLayerMapInfo&) const = default;
};

class LayerMapping final : public Layer::Mapping {
 public:
  // `layer_id` of a layer on the HRC, of a merge layer; `output_id` while no receiver is known.
  static constexpr uint8_t kHrcLayerId = 0;
  static constexpr uint8_t kMergeLayerId = 255;
  static constexpr uint8_t kNoOutputId = 255;

  // A record with the values below and a fresh, empty `nps` list. Records exist only behind
  // shared handles: the layer holds one, readers and neighbouring records may hold others.
  static std::shared_ptr<LayerMapping> create();

  LayerMapping(const LayerMapping&) = delete;
  LayerMapping& operator=(const LayerMapping&) = delete;

  // The first skip-DMA load component, or null when there is none.
  const hw::Component* skipdma_load() const;

  // Position in `skipdma_stores` of the store of the first output, -1 for none: with one
  // store 0, unless the layer is marked dual-output (that store is then the second output's);
  // with two stores 0; with none or more than two -1.
  int32_t get_skipdma_store_index() const;
  // The store at get_skipdma_store_index(), or null. Points into `skipdma_stores`: valid while
  // that list is left unchanged.
  const hw::Component* skipdma_store() const;
  hw::Component* skipdma_store();

  // Position of the store of a dual-output layer's second output: the last store when
  // merge_info marks the layer dual-output and there is at least one store; -1 otherwise.
  int32_t get_skipdma_store_dual_output_index() const;
  const hw::Component* skipdma_store_dual_output() const;
  hw::Component* skipdma_store_dual_output();

  // `nps` (the base's field): every component of the layer except its skip-DMA engines.

  // Number of the layer inside its pass: kHrcLayerId, kMergeLayerId, or a running number from 1.
  uint8_t layer_id = 0;
  // Receiver of the output: a consumer's layer_id, a skip-DMA channel number for a store into
  // a merge layer, layer_id + 1 when the next pass continues from the layer, or kNoOutputId.
  uint8_t output_id = kNoOutputId;
  // For the first layer of a pass that continues a previous pass: 1 + the previous pass's last
  // layer's layer_id; 0 otherwise.
  uint8_t input_id = 0;
  bool p2p_input = false;  // point-to-point input; never set by the builder
  bool p2p_output = true;  // the output goes to the single destination of `outputs` (the DMA)
  std::unique_ptr<MergeLayerMapInfo> merge_info;      // the layer follows a merge layer
  std::unique_ptr<SkipDmaStoreInfo> skip_store;       // the first output goes to a skip-DMA store
  std::unique_ptr<SkipDmaStoreInfo> skip_store_dual;  // the store of a dual-output layer's second output
  std::unique_ptr<SkipDmaLoadInfo> skip_load;         // the layer reads a skip-DMA load
  std::unique_ptr<AltLayerMapInfo> alt_info;          // the layer heads a branch of an alternative
  // Channel offset of the output in the input memory of a following Concatenate layer.
  std::optional<uint32_t> sram_output_shift;
  // A TNP-B layer with skip-DMA components: it reloads its own FIFO, so its stores count among
  // its input components.
  bool tnp_b_fifo = false;
  std::vector<SharedComponents> inputs;   // where the input comes from: the producers' `nps`, the HRC or the DMA
  std::vector<SharedComponents> outputs;  // where the output goes: the consumers' `nps` (or loads), or the DMA
  std::vector<hw::Component> skipdma_stores;  // SKIP_DMA_STORE components, in mapping order
  std::vector<hw::Component> skipdma_loads;   // SKIP_DMA_LOAD components (0 or 1)

 private:
  LayerMapping();
};

// The layer's mapping viewed as a LayerMapping; empty when the layer holds no mapping or one of
// another kind.
std::shared_ptr<LayerMapping> layer_mapping_of(const Layer& layer);

// The layer's LayerMapping, which the layer keeps alive; std::logic_error when it holds none.
LayerMapping& record_of(const Layer& layer);

}  // namespace ornix
