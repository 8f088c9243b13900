#pragma once

// Every message text of the Dense1D (FNP) recording. (A field that would overflow panics with
// hardware's kMsgFieldOverflowFormat, or recorder_messages.h's kMsgWideFieldOverflowFormat for a
// value computed beyond 32 bits; an unsupported layout throws fnp_messages.h's
// kMsgUnsupportedPadding; an unmapped layer is refused with mapping's
// missing_layer_mapping_message.)

#include <cstddef>
#include <cstdint>
#include <string>

namespace ornix::v2 {

inline constexpr const char* kMsgFnpWrongInputBits = "Wrong input_bits at FNP recording.";
inline constexpr const char* kMsgFnpWrongWeightsBits = "Wrong weight bitwidth at FNP recording.";
inline constexpr const char* kMsgFnpWrongOutputBits = "Wrong output bitwidth at FNP recording.";
// The FNP image writer is handed more neurons at once than it gathers (an internal fault).
inline constexpr const char* kMsgNeuronBlockTooLarge = "FNP image: too many neurons written at once.";

inline constexpr const char* kMsgFnpNoNp = "A Dense1D layer needs one NP in its mapping to be recorded.";
inline constexpr const char* kMsgFnp3WithoutBudget = "FNP3 recording needs a non-zero FNP3 memory budget.";
inline constexpr const char* kMsgFnp2WithoutMesh = "FNP2 recording needs the device's mesh.";

inline std::string fnp_wrong_np_type_message(const std::string& type) {
  return "A Dense1D layer is recorded on an FNP2 or an FNP3, not on " + type + ".";
}

inline std::string fnp_half_max_variables_message(const std::string& layer_name) {
  return "Layer '" + layer_name + "' has one of \"max_value\" and \"max_value_shift\" without the other.";
}

inline std::string fnp_neuron_outside_image_message(std::size_t image_words, uint32_t neuron, uint64_t end_word) {
  return "The FNP memory image holds " + std::to_string(image_words) + " words but neuron " + std::to_string(neuron) +
         " ends at word " + std::to_string(end_word) + ".";
}

}  // namespace ornix::v2
