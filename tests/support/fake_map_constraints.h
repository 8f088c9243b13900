#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "mapping/map_constraints.h"

namespace ornix::test {

// Map constraints whose hooks a test overrides, as a Python subclass would. Announced layer
// names are kept in order; an unset function falls back to the base behaviour.
class HookedMapConstraints final : public MapConstraints {
 public:
  using MapConstraints::MapConstraints;

  void next_layer_handler(const std::string& layer_name) const override {
    announced.push_back(layer_name);
    if (on_next_layer) on_next_layer(layer_name);
  }
  std::vector<hw::Ident> select_nps(const std::vector<hw::Ident>& source_nps, size_t num_nps,
                                    hw::Type type) const override {
    return on_select ? on_select(source_nps, num_nps, type) : MapConstraints::select_nps(source_nps, num_nps, type);
  }

  std::function<void(const std::string&)> on_next_layer;
  std::function<std::vector<hw::Ident>(const std::vector<hw::Ident>&, size_t, hw::Type)> on_select;
  mutable std::vector<std::string> announced;
};

}  // namespace ornix::test
