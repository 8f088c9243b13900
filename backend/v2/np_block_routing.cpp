#include "backend/v2/np_block_routing.h"

#include <algorithm>

#include "backend/v2/cnp_conv_register_builder.h"
#include "backend/v2/np_registers_format.h"
#include "backend/v2/partial_reconfig_registers.h"

namespace ornix::v2 {
namespace {

using Components = std::vector<hw::Component>;

void append(Components& to, const Components& from) { to.insert(to.end(), from.begin(), from.end()); }

// The alternative layer's view of the NP at `ident`, when its mapping holds that NP.
void write_alt_view(NpRegisterBlock regs, const Layer& alt_layer, const hw::Ident& ident, bool pr_flag) {
  const LayerMapping& alt = cnp_layer_mapping(alt_layer);
  const auto np = std::find_if(alt.nps->begin(), alt.nps->end(),
                               [&](const hw::Component& component) { return component.ident == ident; });
  if (np != alt.nps->end()) update_partial_reconfig_regs(regs, alt_layer, *np, pr_flag);
}

}  // namespace

MeshRoutingLists mesh_routing_lists(const LayerMapping& mapping) {
  MeshRoutingLists lists;
  for (const SharedComponents& list : mapping.inputs) {
    if (list) append(lists.sources, *list);
  }
  append(lists.sources, mapping.skipdma_loads);
  for (const SharedComponents& list : mapping.outputs) {
    if (list) append(lists.destinations, *list);
  }
  append(mapping.tnp_b_fifo ? lists.sources : lists.destinations, mapping.skipdma_stores);
  return lists;
}

void close_np_block(NpRegisterBlock regs, const LayerMapping& mapping, const MeshRoutingLists& routing,
                    const hw::Ident& ident, const Layer* alt_layer, const NpBlockFlags& flags) {
  format_mesh_registers_set_output_to_NPs(regs, routing.sources, *mapping.nps, routing.destinations,
                                          mapping.alt_info.get(), mapping.output_id, mapping.p2p_input,
                                          mapping.p2p_output, flags.pr_flag);
  if (alt_layer != nullptr) write_alt_view(regs, *alt_layer, ident, flags.pr_flag);
  if (flags.ib_spikes) set_ib_spikes(regs);
}

}  // namespace ornix::v2
