#pragma once

// Every message text of mesh mapping.

#include <cstdint>
#include <string>

#include "ornix/hw/ident.h"

namespace ornix {

// Back-end entry
inline constexpr const char* kMsgMapConstraintsRequired = "Map constraints must be specified.";
inline constexpr const char* kMsgMapListsRequired = "The layer and sequence lists must be given.";
inline constexpr const char* kMsgDeviceHasNoMesh = "The device has no NP mesh.";

// Map constraints
inline constexpr const char* kMsgInvalidConstraintsDevice = "Invalid device passed to MapConstraints.";
inline constexpr const char* kMsgLoopItselfNotOnV1 = "HWPR NP loopitself feature is not supported for IP v1.";

// `limit`: "width", "height" or "filters".
inline std::string invalid_cnp_limit_message(const char* limit, uint32_t value, uint32_t default_value) {
  return "Invalid cnp max " + std::string(limit) + ": " + std::to_string(value) + ". Expected value in range [1, " +
         std::to_string(default_value) + "].";
}

// Mapping attempt
inline constexpr const char* kMsgNoHrcOnDevice =
    "Layer should be mapped on HRC but the device does not have this hardware component.";

// Layer placement (the layer without any component kind reports split_messages.h's
// kMsgNoHardwareComponent)
inline constexpr const char* kMsgTwoSkipDmaStores =
    "A layer which outputs directly to one skip dma and another skipdma via dual outputs is not supported.";
inline constexpr const char* kMsgTnpBFirstInPass = "A TNP-B layer cannot be the first layer of a pass.";
inline constexpr const char* kMsgTnpBChannelSplit =
    "The number of channels must be a multiple of 4 to be split by filter.";

// A choice of MapConstraints::select_nps (an override) that the placement cannot use: `type` a
// hw::to_string text, the ident written "(col, row, id, channel)".
inline std::string ident_text(const hw::Ident& ident) {
  return "(" + std::to_string(ident.col) + ", " + std::to_string(ident.row) + ", " + std::to_string(ident.id) +
         ", " + std::to_string(ident.channel) + ")";
}
inline std::string selected_np_not_offered_message(const std::string& type, const hw::Ident& ident) {
  return "The selection of " + type + " NPs returned " + ident_text(ident) + ", which is not available.";
}
inline std::string selected_np_repeated_message(const std::string& type, const hw::Ident& ident) {
  return "The selection of " + type + " NPs returned " + ident_text(ident) + " more than once.";
}

// `successor`: the name of the TNP-B layer that follows (also for a depthwise one).
inline std::string next_tnp_b_does_not_fit_message(const std::string& successor) {
  return "The next BufferTempConv " + successor + " can't be mapped in the current pass.";
}

}  // namespace ornix
