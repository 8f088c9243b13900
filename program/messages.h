#pragma once

// Every message text of program assembly. (A register field that would overflow panics with
// hardware's kMsgFieldOverflowFormat, the one text for that fault in the back end.)

#include <cstddef>
#include <cstdint>
#include <string>

namespace ornix::program {

inline constexpr const char* kMsgNpProgramError = "Error generating NP program.";

// panic formats: value, field width in bits.
inline constexpr const char kMsgSignedRangeFormat[] = "%d cannot fit in a %d bits signed integer.";
inline constexpr const char kMsgUnsignedRangeFormat[] = "%d cannot fit in a %d bits unsigned integer.";

// NP split geometry
inline constexpr const char* kMsgNpSplitStride = "An NP split needs a convolution stride of at least 1.";

// HRC tensor formatting
inline constexpr const char* kMsgWrongHrcKernelSize = "Wrong kernel_size at HRC recording.";
inline constexpr const char* kMsgHrcWeightsShape =
    "HRC weights must have four dimensions, a square kernel and 1 or 3 input channels.";
inline constexpr const char* kMsgHrcNotTwoDimensional =
    "HRC tokens and position embeddings must be two-dimensional tensors.";
inline constexpr const char* kMsgHrcEmbeddingsWidth =
    "HRC position embeddings must have a second dimension that is a multiple of 4.";

inline std::string hrc_too_many_filters_message(uint32_t limit) {
  return "HRC weights of one input channel and a 3x3 kernel hold at most " + std::to_string(limit) + " filters.";
}

inline std::string hrc_too_few_elements_message(std::size_t held, std::size_t read) {
  return "An HRC parameter tensor holds " + std::to_string(held) + " elements but " + std::to_string(read) +
         " are read.";
}

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

// Building a hardware sequence.
inline constexpr const char* kMsgTooManyDescriptors = "The maximum number of descriptors is more than allowed.";
inline std::string output_frame_too_large(uint64_t bytes, uint64_t max_bytes) {
  return "Its output takes " + std::to_string(bytes) + " bytes per frame; a device holds at most " +
         std::to_string(max_bytes) + " bytes for one output.";
}
inline constexpr const char* kMsgNoPreviousPass = "A later pass needs the pass before it.";
inline constexpr const char* kMsgEmptyPass = "A pass needs a layer besides a merge layer that ends it.";
inline std::string previous_pass_without_dma(const std::string& layer) {
  return "The previous pass ends with layer '" + layer + "', whose output goes to no DMA.";
}
inline std::string hrc_input_without_conv_params(const std::string& layer) {
  return "The HRC input layer '" + layer + "' has no convolution parameters.";
}
// The output scaling of a last layer: variable names and the refusal of a short "act_step".
inline constexpr const char* kVarScales = "scales";
inline constexpr const char* kVarThreshold = "threshold";
inline constexpr const char* kVarActStep = "act_step";
inline std::string act_step_too_short(const std::string& layer, size_t held, size_t needed) {
  return "Layer '" + layer + "' has " + std::to_string(held) + " \"act_step\" values for " + std::to_string(needed) +
         " thresholds.";
}

// Running a hardware sequence.
inline constexpr const char* kMsgHardwareRequired = "An actual hardware device is required.";
inline constexpr const char* kMsgLearningOnSeveralNps =
    "Learning is not supported for layers mapped on more than 1 NP.";
// A hardware sequence's own refusals of what it is made from.
inline constexpr const char* kMsgSequenceWithoutDevice = "A hardware sequence needs a device.";
inline constexpr const char* kMsgSequenceWithoutLayers = "A hardware sequence needs at least one layer.";
inline constexpr const char* kMsgSequenceWithoutPasses = "A hardware sequence needs at least one pass.";
inline constexpr const char* kMsgProgramTooShort =
    "The device program is shorter than the program-info part its size prefix announces.";

}  // namespace ornix::program
