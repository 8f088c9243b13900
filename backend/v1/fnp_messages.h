#pragma once

// Every message text of the generation-1 FNP memory image, registers and record. Field
// overflows panic with hardware's kMsgFieldOverflowFormat; thresholds out of range with
// program's kMsgSignedRangeFormat.

#include <cstdint>
#include <string>

namespace ornix::v1 {

inline constexpr const char* kMsgFnp4bitInputsDualBuffer = "4-bit FNP inputs require single buffer mode.";

// After FnpError's prefix.
inline std::string fnp_act_step_message(int32_t act_step) {
  return "act_step should be between 0 and 65535. Receives act_step " + std::to_string(act_step) + ".";
}
inline std::string fnp_negative_1bit_weight_message(uint32_t neuron, uint32_t input, int32_t weight) {
  return "1-bit weights must be 0 or 1. Receives weight " + std::to_string(weight) + " for neuron " +
         std::to_string(neuron) + ", input " + std::to_string(input) + ".";
}

// A layer whose mapping lists no NP (after FnpError's prefix).
inline std::string fnp_unmapped_message(const std::string& layer) {
  return "The layer " + layer + " is mapped on no NP.";
}

// Tensors the memory image cannot be built from.
inline constexpr const char* kMsgFnpWeightsRank = "FNP weights must be a two-dimensional tensor (neurons, inputs).";
inline constexpr const char* kMsgFnpWeightsBits = "FNP weights must be at least 1 bit wide.";
inline constexpr const char* kMsgFnpNeuronValues = "The threshold and act_step tensors must hold one value per neuron.";
// The image sized for the layer does not hold its neuron blocks (an internal fault).
inline constexpr const char* kMsgFnpImageTooSmall = "FNP image: the neuron blocks do not fit the image.";
inline constexpr const char* kMsgFnp2WithoutMesh = "An FNP2 layer needs a device with a mesh.";

// Learning layers (after FnpError's prefix).
inline constexpr const char* kMsgFnpNegativeThresholdLearning = "Negative value for threshold_learning not supported.";
inline constexpr const char* kMsgFnpNotLearning = "The layer has no learning parameters.";
inline constexpr const char* kMsgFnpLearningWeightsBits = "A learning layer must have 1-bit weights.";
inline std::string fnp_learning_variable_missing_message(const std::string& layer, const std::string& variable) {
  return "The learning layer '" + layer + "' has no variable " + variable + ".";
}
inline std::string fnp_learning_units_message(uint32_t units, uint32_t neurons) {
  return "A learning layer of " + std::to_string(units) + " units has weights for only " + std::to_string(neurons) +
         " neurons.";
}
inline std::string fnp_learn_memory_message(uint32_t words, uint32_t needed) {
  return "The device's learn memory holds " + std::to_string(words) + " words; the learning layer needs " +
         std::to_string(needed) + ".";
}

}  // namespace ornix::v1
