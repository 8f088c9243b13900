#pragma once

// Every message text of the layer-graph analysis.

namespace ornix {

// first_mappable_layer
inline constexpr const char* kMsgFirstMappableLayerUnsupported =
    "Can't retrieve the first mappable layer. This pass definition is not yet supported.";
inline constexpr const char* kMsgNoFirstLayerOfPass = "Can't retrieve the first layer of the pass.";
inline constexpr const char* kMsgFirstLayerOfPassUnsupported =
    "Can't retrieve the first layer of the pass. This pass definition is not supported.";

}  // namespace ornix
