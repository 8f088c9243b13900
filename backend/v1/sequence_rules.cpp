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
  return SequenceRules().extend_all(first, last);
}

LayerMappingStatus SequenceRules::extend(std::shared_ptr<Layer> layer) {
  run_.insert(layer.get());
  if (!first_error_ && !layer->is_target_component(ComponentKind::CNP)) {
    const auto inbounds = layer->inbound_layers();
    const auto pooled = std::find_if(inbounds.begin(), inbounds.end(),
                                     [](const auto& inbound) { return inbound && is_max_pooling_cnp(*inbound); });
    if (pooled != inbounds.end() && run_.contains(pooled->get())) {
      first_error_ = LayerMappingError(*layer, max_pooling_successor_message((*pooled)->name()));
    }
  }
  if (is_max_pooling_cnp(*layer)) return LayerMappingError(*layer, kMsgMaxPoolingLast);
  if (first_error_) return *first_error_;
  return LayerMappingStatus("");
}

}  // namespace ornix::v1
