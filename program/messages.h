#pragma once

// Every message text of program assembly.

#include <cstddef>
#include <string>

namespace ornix::program {

inline constexpr const char* kMsgNpProgramError = "Error generating NP program.";

// A recorder's error while a layer is programmed, after the layer's name (LayerMappingError).
inline constexpr const char* kMsgProgrammingLayer = "Error when programming layer: ";
// A recorder's error while a learning layer is programmed.
inline std::string programming_learning_layer(const std::string& layer) {
  return "Error when programming layer '" + layer + "': ";
}

// The serializer's own refusals.
inline constexpr const char* kMsgNoRecord = "The recorder returned no record.";
inline constexpr const char* kMsgLearningRecordWithoutTrack = "Each learning record must hold a track.";
inline std::string learning_layer_without_component(const std::string& layer) {
  return "The learning layer '" + layer + "' is mapped on no component.";
}
inline std::string idle_nps_without_layer_mapping(const std::string& layer) {
  return "Cannot program idle NPs with layer '" + layer + "': it has no layer mapping.";
}
inline constexpr const char* kMsgDeviceVersionMissing =
    "The device version must be serialized before the program is finished.";
inline std::string pass_count_mismatch(size_t given, size_t serialized) {
  return "The program is finished with " + std::to_string(given) + " passes but " + std::to_string(serialized) +
         " were serialized.";
}

}  // namespace ornix::program
