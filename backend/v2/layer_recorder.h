#pragma once

#include "mapping/layer_recorder.h"

namespace ornix::v2 {

// The generation-2 layer recorder: dispatches a layer to the recorder of its LayerType. The
// device and table (not owned) must outlive it. Stateless.
class LayerRecorderImpl final : public LayerRecorder {
 public:
  LayerRecorderImpl(const Device* device, const HardwareConstraints* constraints)
      : LayerRecorder(device, constraints) {}

  // Add, Concatenate and Dequantizer take no NP: their program is a record without tracks.
  // InputConv2D, Conv2D, DepthwiseConv2D, their transposed forms, the buffered temporal
  // convolutions and Dense1D get the program of their type's recorder. Any other type:
  // std::runtime_error "Unsupported layer type: N.".
  std::unique_ptr<program::Record> record_layer(const Layer& layer, const Layer& first_layer,
                                                std::shared_ptr<Layer> next_pass_layer, bool opens_pass,
                                                bool ends_pass, const std::vector<hw::Ident>& idle_nps,
                                                bool registers_only, bool fnp_padding) const override;
  // Generation 2 does not learn: both throw std::runtime_error "Learning not implemented on v2.".
  program::LearnRecordsPtr record_learning_layer(const Layer& layer, bool ib_spikes) const override;
  void sync_learning_vars(std::shared_ptr<Layer> layer) const override;
};

}  // namespace ornix::v2
