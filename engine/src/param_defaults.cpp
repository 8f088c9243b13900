#include "param_defaults.h"

namespace ornix {

std::unique_ptr<LayerParams> complete_params(const LayerParams& params, std::span<const ParamDefault> defaults) {
  LayerParams::Values values;
  for (const std::string& key : params.keys()) values.emplace(key, params.get(key));
  // Every class that stores an activation stores NoActivation by default.
  const bool activated = params.has("activation") && params.get("activation") != kDefaultActivation;
  for (const ParamDefault& entry : defaults) {
    const bool inactive = !activated && entry.without_activation.has_value();
    values.emplace(entry.key, inactive ? *entry.without_activation : entry.value);
  }
  return LayerParams::create(params.layer_type(), values);
}

}  // namespace ornix
