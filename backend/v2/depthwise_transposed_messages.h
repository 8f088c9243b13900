#pragma once

// Message texts of the depthwise and transposed convolution recorders beyond those they share
// with the Conv2D recorder (conv2d_recording_messages.h).

#include <string>

namespace ornix::v2 {

// A depthwise layer's NP needs the input shifts of its channels.
inline std::string missing_input_shift_message(const std::string& layer_name) {
  return "Layer '" + layer_name + "' has no input_shift variable.";
}

}  // namespace ornix::v2
