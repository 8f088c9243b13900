#pragma once

// Every message text, name and limit of the layer mapping records and their builder.

#include <cstddef>
#include <cstdint>
#include <string>

namespace ornix {

// Layer variables and parameters the builder reads.
inline constexpr const char* kVarAShift = "a_shift";
inline constexpr const char* kVarBShift = "b_shift";
inline constexpr const char* kVarOutputShift = "output_shift";
inline constexpr const char* kParamFifoSize = "fifo_size";

// Store indices, DMA channel numbers and layer ids are bytes in the device program.
inline constexpr uint32_t kLargestStoreIndex = 255;
inline constexpr uint32_t kLargestDmaChannel = 255;
inline constexpr uint32_t kLargestNumberedLayerId = 254;  // 255 marks a merge layer

// Thrown, naming the layer, by the builder.
inline constexpr const char* kMsgLayerNotFoundInSequence = "Layer not found in the sequence.";
inline constexpr const char* kMsgAltSecondBranchInNextPass =
    "Hardware partial reconfiguration with layers on the second branch is not supported.";
inline constexpr const char* kMsgModelCannotBeMapped = "Model can not be mapped in hardware.";

// std::out_of_range, after the "Cannot map layer '...'." of the alternative being linked: one of
// its branches is a merge layer that no layer follows.
inline std::string merge_branch_without_head_message(const std::string& merge_name) {
  return "Its branch through merge layer '" + merge_name + "' has no layer after it.";
}

inline std::string store_index_overflow_message(std::size_t index) {
  return "Skip DMA store index " + std::to_string(index) + " exceeds " + std::to_string(kLargestStoreIndex) +
         ": the model is too large for the hardware.";
}

inline std::string dma_channel_overflow_message(std::size_t channel) {
  return "DMA channel number " + std::to_string(channel) + " exceeds " + std::to_string(kLargestDmaChannel) +
         ": the model is too large for the hardware.";
}

inline std::string layer_id_overflow_message(uint32_t id) {
  return "Layer id " + std::to_string(id) + " exceeds " + std::to_string(kLargestNumberedLayerId) +
         ": the pass is too large for the hardware.";
}

// Broken caller contracts (std::invalid_argument, std::logic_error).
inline constexpr const char* kMsgComponentListPerLayer = "A pass needs exactly one component list per layer.";

inline std::string missing_layer_mapping_message(const std::string& layer_name) {
  return "Layer '" + layer_name + "' has no layer mapping.";
}

}  // namespace ornix
