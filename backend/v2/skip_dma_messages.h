#pragma once

// Every message text of the skip-DMA recording. (A field that would overflow panics with
// hardware's kMsgFieldOverflowFormat, or recorder_messages.h's kMsgWideFieldOverflowFormat for a
// value computed beyond 32 bits; a missing store or load component is refused with
// register_format_messages.h's kMsgSkipDmaStoreNull and kMsgSkipDmaLoadNull; an unmapped layer
// with mapping's missing_layer_mapping_message.)

#include <string>

namespace ornix::v2 {

inline constexpr const char* kMsgMergingLayerHasNoCnps = "Merging layer has no CNPs.";
inline constexpr const char* kMsgSkipDmaWithoutRecord = "Skip DMA blocks need a program record to go to.";
inline constexpr const char* kMsgSkipDmaTargetsEmpty = "A skip DMA target word needs at least one component.";

inline std::string skipdma_store_without_info(const std::string& layer_name) {
  return "Layer '" + layer_name + "' has a skip DMA store but no store information.";
}

inline std::string skipdma_load_without_info(const std::string& layer_name) {
  return "Layer '" + layer_name + "' has a skip DMA load but no load information.";
}

}  // namespace ornix::v2
