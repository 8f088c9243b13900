#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "ornix/component_kind.h"
#include "ornix/ip_version.h"
#include "ornix/layer_impl.h"
#include "ornix/layer_types.h"
#include "param_defaults.h"

namespace ornix {

inline constexpr uint32_t kAnyInboundCount = UINT32_MAX;

// The fixed facts of one layer class.
struct LayerTraits {
  LayerType type;
  ComponentKind target;  // None: no component maps it
  IpVersion ip_version;
  bool input;
  bool separable;
  bool channelwise;
  uint32_t min_inbounds;
  uint32_t max_inbounds;  // kAnyInboundCount: no limit
  std::shared_ptr<LayerImpl> (*make)(const LayerParams& params, const std::string& name);
  // What the class stores for the keys a layer leaves out (param_defaults.h).
  std::span<const ParamDefault> defaults;
};

// The traits of the class serving `type`; null when no class does.
const LayerTraits* find_layer_traits(LayerType type);

}  // namespace ornix
