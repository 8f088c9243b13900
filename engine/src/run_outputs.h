#pragma once

#include <memory>

#include "ornix/layer.h"
#include "ornix/tensor.h"

// What a model's run returns for the values of its last layer: one rule for the software run and
// for a run on a device, so that the two answer alike.

namespace ornix {

// The element type of a run's output: uint8 (unsigned, at most 8 bits) or int8 (signed, at
// most 8 bits) or int32 (wider) as the last layer declares its outputs; float32 values (after a
// Dequantizer) stay as they are. Integer values outside that type are refused with
// std::runtime_error.
std::shared_ptr<Dense> run_output(const Layer& last, const Dense& values);

// What predict returns for the outputs of a model ending in `last`: the outputs themselves after
// a Dequantizer; otherwise float32 values scaled as the device's host does:
// (value - threshold[c]) x (1 / act_step[c], 0 for a step of 0) when the last layer has no
// activation and holds "threshold", else the values as they are.
std::shared_ptr<Dense> predicted_values(const Layer& last, const Dense& outputs);

}  // namespace ornix
