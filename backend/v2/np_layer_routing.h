#pragma once

// What every per-type register builder takes from a layer's mapping for the shared mesh
// writers of np_registers_format.h and partial_reconfig_registers.h: the layer's routing lists
// and, under partial reconfiguration, the alternative layer's view of one NP.

#include <vector>

#include "backend/v2/np_register_block.h"
#include "hardware/component.h"
#include "mapping/layer_mapping.h"
#include "ornix/hw/ident.h"
#include "ornix/layer.h"

namespace ornix::v2 {

// The component lists of mesh output routing (format_mesh_registers_set_output_to_NPs).
struct MeshRoutingLists {
  // Every `inputs` list in order, the skip-DMA loads, and the skip-DMA stores of a TNP-B layer
  // that reloads its own FIFO.
  std::vector<hw::Component> sources;
  // Every `outputs` list in order, then the skip-DMA stores of any other layer.
  std::vector<hw::Component> destinations;
};

MeshRoutingLists mesh_routing_lists(const LayerMapping& mapping);

// Writes `alt_layer`'s view of the NP at `ident` (update_partial_reconfig_regs) when
// `alt_layer`'s mapping lists an NP of that ident; otherwise leaves the block as it is.
// std::invalid_argument "Layer '<name>' has no layer mapping." when `alt_layer` has no
// LayerMapping; the writer's failures pass through.
void write_alt_layer_view(NpRegisterBlock regs, const Layer& alt_layer, const hw::Ident& ident, bool pr_flag);

}  // namespace ornix::v2
