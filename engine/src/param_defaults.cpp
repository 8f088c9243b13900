#include "param_defaults.h"

#include <algorithm>
#include <string_view>

namespace ornix {

namespace {

// The activation the completed parameters will hold.
bool is_activated(const LayerParams& params, std::span<const ParamDefault> defaults) {
  if (params.has("activation")) return params.get("activation") != kDefaultActivation;
  const auto entry = std::ranges::find_if(defaults, [](const ParamDefault& d) { return std::string_view(d.key) == "activation"; });
  return entry != defaults.end() && entry->value != kDefaultActivation;
}

}  // namespace

std::unique_ptr<LayerParams> complete_params(const LayerParams& params, std::span<const ParamDefault> defaults) {
  LayerParams::Values values;
  for (const std::string& key : params.keys()) values.emplace(key, params.get(key));
  const bool activated = is_activated(params, defaults);
  for (const ParamDefault& entry : defaults) {
    const bool inactive = !activated && entry.without_activation.has_value();
    values.emplace(entry.key, inactive ? *entry.without_activation : entry.value);
  }
  return LayerParams::create(params.layer_type(), values);
}

}  // namespace ornix
