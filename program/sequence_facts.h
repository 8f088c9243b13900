#pragma once

// What the device program states of a whole sequence, read from its first and last layers.

#include <cstdint>
#include <memory>
#include <vector>

#include "mapping/io_recorder.h"
#include "ornix/layer.h"
#include "ornix/shape.h"

namespace ornix {

struct SequenceFacts {
  int8_t input_type = 0;   // the I/O recorder's code for the first layer
  int8_t output_type = 0;  // its code for the last layer, given the input type
  uint8_t output_bits = 0;  // the last layer's output bits; its input bits for a Dequantizer
  bool hrc_input = false;   // the first layer is on the HRC
  bool hrc_only = false;    // ... and is the only layer
  // The first layer's first input shape; (1, 1, d0 * d1 * d2) for a Dense1D first layer.
  Shape input_shape;
  Shape output_shape;  // the last layer's output shape
  // Words 1 and 0 of an HRC first layer's convolution parameters; 0 otherwise.
  uint32_t input_param_1 = 0;
  uint32_t input_param_0 = 0;
  bool activation = false;  // the last layer applies an activation
  // The SCC program's output-bits flag: the output fits a byte and is not an activation's.
  bool scc_byte_output = false;
};

// `layers`: the sequence's layers in order, not empty. Panics "Cannot have a shape with a
// dimension set to 0" for a Dense1D first layer with a zero input dimension;
// std::runtime_error for an HRC first layer without convolution parameters. Errors of the
// recorder and of the layers' geometry pass out.
SequenceFacts sequence_facts(const std::vector<std::shared_ptr<Layer>>& layers, const IoRecorder& io_recorder);

// How the host scales the values of the last layer: for a Dequantizer its k "scales" with k zero
// thresholds; for a last layer without activation that holds "threshold", its k thresholds and
// the reciprocals of its first k "act_step" values (0 stays 0); otherwise nothing. k is the first
// dimension of "scales" or "threshold".
struct OutputScaling {
  std::vector<int32_t> thresholds;
  std::vector<float> scales;
};

// Panics "Wrong requested type %s for a tensor of type %s." for a variable of another element
// type; std::invalid_argument for a missing "scales" or "act_step"; std::runtime_error for an
// "act_step" of fewer than k values.
OutputScaling output_scaling(const Layer& last);

}  // namespace ornix
