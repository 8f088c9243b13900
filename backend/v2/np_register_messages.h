#pragma once

// Every message text of the NP register block writers (np_registers_format.h,
// partial_reconfig_registers.h). A field that would overflow panics with hardware's
// kMsgFieldOverflowFormat; an unmapped alternative layer is refused with mapping's
// missing_layer_mapping_message.

namespace ornix::v2 {

inline constexpr const char* kMsgP2pOutMultipleNps = "Cannot use P2P OUT mode for multiple NPs.";
inline constexpr const char* kMsgP2pInMultipleNps = "Cannot use P2P IN mode for multiple NPs.";
inline constexpr const char* kMsgUnsupportedPadding = "Unsupported padding.";
inline constexpr const char* kMsgEmptyRoutingList = "A mesh routing list needs at least one component.";
inline constexpr const char* kMsgAltNpWithoutShare = "The alternative layer's NP has no allocation.";

}  // namespace ornix::v2
