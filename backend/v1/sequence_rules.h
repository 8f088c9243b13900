#pragma once

#include <memory>
#include <optional>
#include <unordered_set>

#include "hardware/mapping_status.h"
#include "mapping/compatibility_checker.h"

namespace ornix::v1 {

// The max pooling rules over [first, last), a run of layers in model order: a CNP
// layer with max pooling may not end the run, and a layer off the CNPs may not follow one that
// is in the run (by identity; only the layer's first such inbound counts). Stops at the first
// broken rule, naming the offending layer; a success carries no layer name.
LayerMappingStatus check_layer_sequence(CompatibilityChecker::LayerIterator first,
                                        CompatibilityChecker::LayerIterator last);

// The same rules over a run that grows one layer at a time: each extend gives the answer of
// check_layer_sequence over the run so far. A layer's own rule looks only at the layers before
// it (model order puts every layer after its inbound layers), so it is judged once.
class SequenceRules final : public CompatibilityChecker::SequenceCheck {
 public:
  LayerMappingStatus extend(std::shared_ptr<Layer> layer) override;

 private:
  std::unordered_set<const Layer*> run_;
  std::optional<LayerMappingStatus> first_error_;  // the earliest layer following a max pooling CNP
};

}  // namespace ornix::v1
