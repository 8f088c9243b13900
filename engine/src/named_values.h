#pragma once

#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "layer_messages.h"

namespace ornix {

// Lookups over a parameter set's name -> value table, shared by layer and learning parameters.
template <typename T>
T value_of(const std::map<std::string, T>& values, const std::string& key) {
  const auto found = values.find(key);
  if (found == values.end()) throw std::invalid_argument(msg::key_not_found(key));
  return found->second;
}

// The names, in the table's (sorted) order.
template <typename T>
std::vector<std::string> names_of(const std::map<std::string, T>& values) {
  std::vector<std::string> names;
  names.reserve(values.size());
  for (const auto& entry : values) names.push_back(entry.first);
  return names;
}

}  // namespace ornix
