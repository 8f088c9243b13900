#pragma once

#include <string>

#include "ornix/layer_impl.h"

namespace ornix {

// The input of a model: "input_width", "input_height", "input_channels", "input_bits" (default
// 8) and "input_signed" (default 0). Its input and its output are that (width, height,
// channels) shape of that many bits. No back end maps it.
class InputData : public LayerImpl {
 public:
  InputData(const LayerParams& params, std::string name);

 protected:
  LayerBuild build(const LayerInputs& inputs) const override;
};

}  // namespace ornix
