#include "backend/v1/sequence_rules.h"

#include <algorithm>
#include <memory>

#include "backend/v1/checker_messages.h"

namespace ornix::v1 {

namespace {

bool is_max_pooling_cnp(const Layer& layer) {
  return layer.is_target_component(ComponentKind::CNP) && layer.pooling_is(PoolType::Max);
}

}  // namespace

LayerMappingStatus check_layer_sequence(CompatibilityChecker::LayerIterator first,
                                        CompatibilityChecker::LayerIterator last) {
  if (first == last) return LayerMappingStatus("");
  const Layer& end = **(last - 1);
  if (is_max_pooling_cnp(end)) return LayerMappingError(end, kMsgMaxPoolingLast);
  for (auto layer = first; layer != last; ++layer) {
    if ((*layer)->is_target_component(ComponentKind::CNP)) continue;
    const auto inbounds = (*layer)->inbound_layers();
    const auto pooled = std::find_if(inbounds.begin(), inbounds.end(),
                                     [](const auto& inbound) { return inbound && is_max_pooling_cnp(*inbound); });
    if (pooled == inbounds.end()) continue;
    const bool in_run = std::any_of(first, last, [&](const auto& member) { return member == *pooled; });
    if (in_run) return LayerMappingError(**layer, max_pooling_successor_message((*pooled)->name()));
  }
  return LayerMappingStatus("");
}

}  // namespace ornix::v1
