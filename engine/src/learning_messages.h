#pragma once

#include <cstdint>
#include <string>

// Texts of the learning parameters' and compile's refusals.

namespace ornix::msg {

inline std::string unknown_learning_type(uint32_t type) {
  return "Unknown learning type " + std::to_string(type) + ".";
}
inline std::string cannot_learn(const std::string& layer) {
  return "Layer " + layer + " cannot learn: only a FullyConnected layer can be compiled.";
}
inline std::string missing_learning_key(const std::string& key) {
  return "The unsupervised learning parameters need " + key + ".";
}
// printf format: the key, the bound, what the bound counts ("the inputs of each neuron", "the
// units"), the layer, the value given.
inline constexpr const char* kLearningCountOutOfRange =
    "%s must be a whole number between 1 and %u, %s of layer %s (got %g).";

}  // namespace ornix::msg
