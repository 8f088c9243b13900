#pragma once

#include <memory>

#include "ornix/device.h"
#include "ornix/model.h"
#include "ornix/tensor.h"

namespace ornix {

// The HRC of one SoC revision may hang its first run; discovery probes it with a small model
// and opens the device again when the probe fails.

// True when running the probe model on the device raised an error. Errors while building the
// model or its inputs propagate.
bool hrc_check_timeout(std::shared_ptr<Device> device);

// One InputConvolutional layer "inputconv" (8x8x1 input, 3x3 kernel of ones, stride 2, 2x2 max
// pooling) mapped onto the device with hw_only and no map constraints.
std::unique_ptr<Model> build_hrc_probe_model(std::shared_ptr<Device> device);

// A uint8 tensor of ones of shape (1, d0, d1, d2) for a model whose input is (d0, d1, d2).
std::shared_ptr<Tensor> get_constant_inputs(const Model& model);

}  // namespace ornix
