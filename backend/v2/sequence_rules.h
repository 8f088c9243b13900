#pragma once

// Whether a run of layers can be one generation-2 hardware sequence. Each function stops at its
// first failing rule and returns it as an error status naming the offending layer; it never
// throws for a rule, only when the engine refuses a read (a shift or scale variable of another
// element type than int8 or uint8).

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <unordered_set>
#include <vector>

#include "hardware/mapping_status.h"
#include "mapping/compatibility_checker.h"
#include "mapping/layer_graph.h"
#include "ornix/layer.h"

namespace ornix::v2 {

// The rules over [first, last), a run of layers in model order, in this order: where a
// sequence may start, where a Dequantizer may sit, how the sequence may end, which NP kinds may
// feed which, how many consumers a layer may have, and check_skip_connection_mapping. The
// NP-kind rules only refuse an inbound layer that is itself in the run (by identity). An empty
// run breaks no rule.
LayerMappingStatus check_layer_sequence(CompatibilityChecker::LayerIterator first,
                                        CompatibilityChecker::LayerIterator last);

// The same rules over a run that grows one layer at a time: each extend gives the answer of
// check_layer_sequence over the run so far, from what the new layer adds. What a layer's own
// rules say depends only on the layers before it (model order puts every layer after its
// inbound layers), so it is worked out once; the whole run costs time linear in its length.
class SequenceRules final : public CompatibilityChecker::SequenceCheck {
 public:
  LayerMappingStatus extend(std::shared_ptr<Layer> layer) override;

 private:
  LayerMappingStatus judge() const;

  std::vector<std::shared_ptr<Layer>> layers_;
  std::unordered_set<const Layer*> run_;
  std::optional<size_t> first_dequantizer_;
  std::optional<LayerMappingStatus> first_link_error_;    // the earliest layer breaking a link rule
  std::optional<LayerMappingStatus> first_fan_out_error_; // the earliest Concatenate fan-out
  int64_t open_branches_ = 1;
  LayerDepthMap depths_;
};

// A layer without activation whose output is wider than 8 bits must have all-zero
// "output_shift" (int8) and all-one "output_scales" (uint8); an absent variable has nothing to
// violate. A success carries no layer name.
LayerMappingStatus check_no_activation_output(const Layer& layer);

// The skip-connection rules of a run (non-empty, model order): one open branch at its end, no
// merge layer last, and no fan-out from the deeper, second input of a Concatenate. A success
// carries no layer name.
LayerMappingStatus check_skip_connection_mapping(const std::vector<std::shared_ptr<Layer>>& layers);

// The Concatenate fan-out rule for one layer: the layer feeds, as its second input, a
// Concatenate whose first input is shallower. `depths` caches layer depths across calls.
std::optional<LayerMappingStatus> concat_fan_out_error(const std::shared_ptr<Layer>& layer, LayerDepthMap* depths);

}  // namespace ornix::v2
