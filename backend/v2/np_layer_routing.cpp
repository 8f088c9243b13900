#include "backend/v2/np_layer_routing.h"

#include <algorithm>

#include "backend/v2/conv2d_register_builder.h"
#include "backend/v2/partial_reconfig_registers.h"

namespace ornix::v2 {
namespace {

using Components = std::vector<hw::Component>;

void append(Components& to, const Components& from) { to.insert(to.end(), from.begin(), from.end()); }

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

void write_alt_layer_view(NpRegisterBlock regs, const Layer& alt_layer, const hw::Ident& ident, bool pr_flag) {
  const LayerMapping& alt = cnp_layer_mapping(alt_layer);
  const auto np = std::find_if(alt.nps->begin(), alt.nps->end(),
                               [&](const hw::Component& component) { return component.ident == ident; });
  if (np != alt.nps->end()) update_partial_reconfig_regs(regs, alt_layer, *np, pr_flag);
}

}  // namespace ornix::v2
