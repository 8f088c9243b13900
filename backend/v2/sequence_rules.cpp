#include "backend/v2/sequence_rules.h"

#include <algorithm>
#include <cstdint>
#include <unordered_set>

#include "backend/v2/checker_limits.h"
#include "backend/v2/checker_messages.h"
#include "mapping/layer_graph.h"
#include "ornix/tensor.h"

namespace ornix::v2 {

namespace {

using LayerSet = std::unordered_set<const Layer*>;

bool is_dequantizer(const Layer& layer) { return layer.params()->layer_type() == LayerType::Dequantizer; }

// The layer's first inbound layer that satisfies `match`, when it belongs to `run`; otherwise
// (no match, or the match lies outside the run) null.
template <typename Match>
const Layer* first_matching_inbound_in(const Layer& layer, const LayerSet& run, Match match) {
  for (const auto& inbound : layer.inbound_layers()) {
    if (!inbound || !match(*inbound)) continue;
    return run.contains(inbound.get()) ? inbound.get() : nullptr;
  }
  return nullptr;
}

// The NP-kind and fan-out rules of one layer of the run.
LayerMappingStatus check_layer_links(const Layer& layer, const LayerSet& run) {
  const bool on_cnp = layer.is_target_component(ComponentKind::CNP);
  if (!on_cnp && !layer.is_target_component(ComponentKind::TNP_B)) {
    const Layer* pooled = first_matching_inbound_in(layer, run, [](const Layer& inbound) {
      return inbound.is_target_component(ComponentKind::CNP) && inbound.pooling_is(PoolType::Max);
    });
    if (pooled) return LayerMappingError(layer, max_pooling_successor_message(pooled->name()));
  }
  if (on_cnp) {
    const Layer* fnp = first_matching_inbound_in(
        layer, run, [](const Layer& inbound) { return inbound.is_target_component(ComponentKind::FNP); });
    if (fnp) return LayerMappingError(layer, fnp_before_cnp_message(fnp->name()));
  }
  if (layer.is_target_component(ComponentKind::FNP)) {
    const Layer* merge =
        first_matching_inbound_in(layer, run, [](const Layer& inbound) { return is_merge_layer(inbound); });
    if (merge) return LayerMappingError(layer, merge_before_dense_message(merge->name()));
  }
  const size_t outbounds = layer.outbound_layers().size();
  if (outbounds > kMaxOutbounds) return LayerMappingError(layer, too_many_outbounds_message(outbounds, kMaxOutbounds));
  return LayerMappingStatus(layer);
}

template <typename T>
bool any_value_other_than(const Dense& tensor, T expected) {
  const T* values = tensor.data<T>();
  return std::any_of(values, values + tensor.size(), [&](T value) { return value != expected; });
}

bool variable_differs(const Layer& layer, const char* name, auto expected) {
  return layer.variables().has(name) && any_value_other_than(*layer.variables().get(name), expected);
}

}  // namespace

LayerMappingStatus check_no_activation_output(const Layer& layer) {
  if (layer.has_activation() || layer.output_bits() <= 8) return LayerMappingStatus("");
  // Both are read, as the engine's typed access checks their element types.
  const bool shifted = variable_differs(layer, "output_shift", int8_t{0});
  const bool scaled = variable_differs(layer, "output_scales", uint8_t{1});
  if (shifted) return LayerMappingError(layer, kMsgNoActivationShift);
  if (scaled) return LayerMappingError(layer, kMsgNoActivationScale);
  return LayerMappingStatus("");
}

std::optional<LayerMappingStatus> concat_fan_out_error(const std::shared_ptr<Layer>& layer, LayerDepthMap* depths) {
  const auto outbounds = layer->outbound_layers();
  if (outbounds.size() <= 1) return std::nullopt;
  for (const auto& outbound : outbounds) {
    if (outbound->params()->layer_type() != LayerType::Concatenate) continue;
    const auto inputs = outbound->inbound_layers();
    if (inputs.size() < 2 || inputs[1] != layer || !inputs[0]) continue;
    if (get_layer_depth(inputs[1], depths) > get_layer_depth(inputs[0], depths)) {
      return LayerMappingError(*layer, kMsgConcatSecondInputFanOut);
    }
  }
  return std::nullopt;
}

LayerMappingStatus check_skip_connection_mapping(const std::vector<std::shared_ptr<Layer>>& layers) {
  if (get_out_branches_count(layers) > 1) return LayerMappingError("", kMsgSkipSeveralBranches);
  if (is_merge_layer(*layers.back())) return LayerMappingError(*layers.back(), kMsgSkipNoMergeLayer);
  LayerDepthMap depths;
  for (const auto& layer : layers) {
    if (auto error = concat_fan_out_error(layer, &depths)) return *error;
  }
  return LayerMappingStatus("");
}

LayerMappingStatus check_layer_sequence(CompatibilityChecker::LayerIterator first,
                                        CompatibilityChecker::LayerIterator last) {
  return SequenceRules().extend_all(first, last);
}

LayerMappingStatus SequenceRules::extend(std::shared_ptr<Layer> layer) {
  const Layer& added = *layer;
  // Its own rules look only at the layers before it and at the graph.
  run_.insert(layer.get());
  if (!first_dequantizer_ && is_dequantizer(added)) first_dequantizer_ = layers_.size();
  if (!first_link_error_) {
    if (LayerMappingStatus status = check_layer_links(added, run_); !status.success()) first_link_error_ = status;
  }
  if (!first_fan_out_error_) first_fan_out_error_ = concat_fan_out_error(layer, &depths_);
  open_branches_ += open_branch_change(added, layers_.empty());
  layers_.push_back(std::move(layer));
  return judge();
}

LayerMappingStatus SequenceRules::judge() const {
  const Layer& head = *layers_.front();
  if (is_merge_layer(head)) return LayerMappingError(head, kMsgMergeLayerFirst);

  if (first_dequantizer_ == 0) return LayerMappingError(*layers_.front(), kMsgDequantizerFirst);
  if (first_dequantizer_ && *first_dequantizer_ != layers_.size() - 1) {
    return LayerMappingError(*layers_[*first_dequantizer_], kMsgDequantizerNotLast);
  }

  const Layer& end = is_dequantizer(*layers_.back()) ? **(layers_.end() - 2) : *layers_.back();
  if (end.pooling_is(PoolType::Max)) return LayerMappingError(end, kMsgMaxPoolingLast);
  if (LayerMappingStatus status = check_no_activation_output(end); !status.success()) return status;

  if (first_link_error_) return *first_link_error_;

  if (head.is_target_component(ComponentKind::HRC) && head.outbound_layers().size() > kMaxHrcOutbounds) {
    return LayerMappingError(head, kMsgHrcFanOut);
  }
  if (open_branches_ > 1) return LayerMappingError("", kMsgSkipSeveralBranches);
  if (is_merge_layer(*layers_.back())) return LayerMappingError(*layers_.back(), kMsgSkipNoMergeLayer);
  if (first_fan_out_error_) return *first_fan_out_error_;
  return LayerMappingStatus("");
}

}  // namespace ornix::v2
