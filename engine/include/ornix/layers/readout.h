#pragma once

#include <string>

#include "ornix/layer_impl.h"

namespace ornix {

// Layers that read a result out of the network on the host; no component maps them.

// One token (a single position holding every channel) of its input: output (1, 1, channels).
// Output bits and signedness as its input's unless "output_bits" is given.
class ExtractToken : public LayerImpl {
 public:
  ExtractToken(const LayerParams& params, std::string name);

 protected:
  LayerBuild build(const LayerInputs& inputs) const override;
};

// Integer values to float32: output shape of its input, 32 signed bits. "scales" (float32, one per
// channel, 1 at first): each value is multiplied by its channel's scale, in software and, as the
// program's scales, on the device's host.
class Dequantizer : public LayerImpl {
 public:
  Dequantizer(const LayerParams& params, std::string name);

 protected:
  LayerBuild build(const LayerInputs& inputs) const override;
};

}  // namespace ornix
