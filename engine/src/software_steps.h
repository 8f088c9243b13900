#pragma once

#include <memory>
#include <vector>

#include "ornix/layer_impl.h"
#include "ornix/tensor.h"

namespace ornix::software {

// One layer run in software, prepared from its parameters and variables when a run starts.
// A step may keep state from one sample to the next (the temporal layers' frame buffers).
class SoftwareStep {
 public:
  virtual ~SoftwareStep() = default;
  // The layer's output for one sample. `inputs` are its inbound layers' outputs, in order: int32
  // images (width, height, channels); the model's first layer gets the sample itself. The result
  // is an int32 image of the layer's declared output shape, saturated to its output bits (a
  // Dequantizer gives float32).
  virtual std::shared_ptr<Dense> run(const std::vector<std::shared_ptr<Dense>>& inputs) = 0;
};

// The step of any layer class the engine makes; std::runtime_error for a layer it cannot run.
std::unique_ptr<SoftwareStep> make_software_step(const LayerImpl& layer);

}  // namespace ornix::software
