#pragma once

// Every message text of the input NP (HRC): the InputConv2D constraint check and its
// recording. (A register field that would overflow panics with the back end's one overflow
// text; the HRC tensor packers panic with their own range texts.)

#include <cstdint>
#include <string>

namespace ornix::v2 {

// Constraint check, one text per rule. The spellings "combinaison" and "weigths" are the
// texts users match on and stay as they are.
inline std::string hrc_kernel_size_message(int32_t kernel_size) {
  return "Unsupported kernel size.\n The kernel size should be 3, 4, 5 or 7. " + std::to_string(kernel_size) +
         " given.";
}

inline std::string hrc_kernel_stride_message(int32_t kernel_size, int32_t max_stride) {
  return "For a kernel size " + std::to_string(kernel_size) + ", the kernel stride must be smaller than " +
         std::to_string(max_stride) + ".";
}

inline std::string hrc_max_pooling_message(int32_t pool_size, int32_t pool_stride) {
  return "Unsupported max-pooling size, max-pooling stride combinaison. The only supported combinaison of "
         "(Pool_size, Pool_stride) are :(2, 2) or (3, 2). Received (" +
         std::to_string(pool_size) + ", " + std::to_string(pool_stride) + ").";
}

inline std::string hrc_input_width_message(uint32_t width, uint32_t min_size) {
  return "Unsupported input size. Received: " + std::to_string(width) +
         " as first dimension.\n The first dimension should be >= " + std::to_string(min_size) + ".";
}

inline std::string hrc_input_height_message(uint32_t height, uint32_t min_size, uint32_t max_size) {
  return "Unsupported input size. Received: " + std::to_string(height) +
         " as second dimension.\n The second dimension should be between " + std::to_string(min_size) + " and " +
         std::to_string(max_size) + ".";
}

inline constexpr const char* kMsgHrcActivationsDisabled =
    "The first convolutional layer of a model can only be mapped if its activations are enabled.";

inline std::string hrc_output_bits_message(int32_t output_bits) {
  return "Output should be 4-bit or 8-bit. " + std::to_string(output_bits) + " given.";
}

inline constexpr const char* kMsgHrcLut4Bit = "4-bit activation is not supported with LUT.";
inline constexpr const char* kMsgHrcLutPooling = "Max pooling is not supported with activation LUT.";

inline std::string hrc_filters_message(uint32_t max_filters, int32_t filters) {
  return "The filters number should be set between 1 and " + std::to_string(max_filters) + ". " +
         std::to_string(filters) + " given.";
}

inline constexpr const char* kMsgHrcWeightsAllZero = "All weights cannot be zeroes.";
inline constexpr const char* kMsgHrcWeightsBits = "Only 8-bit weigths are supported.";

// Recording. "channles" is the established text and stays as it is.
inline constexpr const char* kMsgHrcWrongKernelSize = "Wrong kernel size at HRC recording.";
inline constexpr const char* kMsgHrcWrongChannels = "Wrong number of channles at HRC recording.";
inline constexpr const char* kMsgHrcWrongPadding = "Wrong padding at HRC recording.";
inline constexpr const char* kMsgHrcWrongPooling = "Wrong pooling at HRC recording.";
inline constexpr const char* kMsgHrcWrongActivation = "Wrong activation at HRC recording.";

inline std::string hrc_output_bitwidth_message(uint32_t output_bits) {
  return "Wrong output bitwidth when programming HRC: " + std::to_string(output_bits) +
         "-bit found\nonly 8-bit and 4-bit are supported.";
}

inline std::string hrc_no_conv_params_message(const std::string& layer) {
  return "The layer " + layer + " has no convolution parameters.";
}

}  // namespace ornix::v2
