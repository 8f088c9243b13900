#pragma once

#include <algorithm>
#include <initializer_list>
#include <string>

#include "hardware/mapping_status.h"
#include "ornix/layer.h"

namespace ornix::v1 {

// The outcome of one rule of a layer check: a success named after the layer when the rule
// holds, else an error carrying `message`.
inline LayerMappingStatus rule_status(const Layer& layer, bool holds, const std::string& message) {
  return holds ? LayerMappingStatus(layer) : LayerMappingError(layer, message);
}

// Folds every rule's outcome into `status`, in order.
inline void merge_rules(LayerMappingStatus& status, std::initializer_list<LayerMappingStatus> rules) {
  for (const LayerMappingStatus& rule : rules) merge_mapping_status(status, rule);
}

// Whether `values` holds `value`.
template <typename Values, typename T>
bool is_one_of(const Values& values, T value) {
  return std::find(values.begin(), values.end(), value) != values.end();
}

}  // namespace ornix::v1
