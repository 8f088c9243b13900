#pragma once

// What every CNP and TNP-B register builder does around its own fields: the mesh-routing lists,
// read once per layer from its mapping, and the steps that close each NP's block after the
// layer's fields: mesh routing (np_registers_format.h), the alternative layer's view
// (partial_reconfig_registers.h) and the input-buffer spike bit.

#include <vector>

#include "backend/v2/np_register_block.h"
#include "hardware/component.h"
#include "mapping/layer_mapping.h"
#include "ornix/hw/ident.h"
#include "ornix/layer.h"

namespace ornix::v2 {

// Where a layer's NPs read their input from and send their output to.
struct MeshRoutingLists {
  std::vector<hw::Component> sources;
  std::vector<hw::Component> destinations;
};

// Sources: every list of the mapping's `inputs`, then its skip-DMA loads, then, for a layer that
// reloads its own FIFO (`tnp_b_fifo`), its skip-DMA stores. Destinations: every list of its
// `outputs`, then the stores of any other layer. Null lists are skipped.
MeshRoutingLists mesh_routing_lists(const LayerMapping& mapping);

// The flags a recorder passes unchanged to every block of a layer.
struct NpBlockFlags {
  bool ib_spikes;       // set the input-buffer spike bit
  bool pr_flag;         // to the mesh routing and to the alternative layer's view
  bool registers_only;  // the block only parks an NP that the pass does not use
  bool common_flag;     // word 1 bit 29
};

// Closes the block of the NP at `ident`, in this order: mesh routing from `routing` and the NP
// list of `mapping`, under its output id and point-to-point flags; when `alt_layer` (borrowed,
// may be null) has an NP of the same ident in its mapping, that layer's view of the NP; the
// input-buffer spike bit when flags.ib_spikes. The writers' failures pass through; an
// `alt_layer` without LayerMapping: std::invalid_argument. The block may then be partly written.
void close_np_block(NpRegisterBlock regs, const LayerMapping& mapping, const MeshRoutingLists& routing,
                    const hw::Ident& ident, const Layer* alt_layer, const NpBlockFlags& flags);

}  // namespace ornix::v2
