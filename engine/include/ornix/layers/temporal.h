#pragma once

#include <string>

#include "ornix/layer_impl.h"

namespace ornix {

// Generation-2 layers that keep state across frames. Their output keeps the input's width and
// height. Keys "weights_bits" (4: int4 weights, other int8), "activation", "output_bits".

// A convolution over the last "fifo_size" frames, on a TNP-B. "filters". "weights" row-major
// (1, 1, fifo_size x input channels (frame-major), filters); "input_shift" (uint8, one per
// input channel).
class BufferTempConv : public LayerImpl {
 public:
  BufferTempConv(const LayerParams& params, std::string name);

 protected:
  LayerBuild build(const LayerInputs& inputs) const override;
};

// One temporal filter per channel over the last "fifo_size" frames, on a TNP-B. "weights"
// row-major (1, 1, fifo_size, channels); "input_shift" (uint8, one per channel).
class DepthwiseBufferTempConv : public LayerImpl {
 public:
  DepthwiseBufferTempConv(const LayerParams& params, std::string name);

 protected:
  LayerBuild build(const LayerInputs& inputs) const override;
};

// A recurrent state update on a TNP-R. "out_channels" sets the output (width, height,
// out_channels); "stateful_channels" and "subsample_ratio" (which acts across frames, not on
// the shape) are the back end's. No variables of its own; its state update counts no MACs.
class StatefulRecurrent : public LayerImpl {
 public:
  StatefulRecurrent(const LayerParams& params, std::string name);

 protected:
  LayerBuild build(const LayerInputs& inputs) const override;
};

}  // namespace ornix
