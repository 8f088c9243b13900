#pragma once

#include "mapping/layer_recorder.h"

namespace ornix::v2 {

// The generation-2 layer recorder. Not built yet: every operation throws std::runtime_error.
class LayerRecorderImpl final : public LayerRecorder {
 public:
  LayerRecorderImpl(const Device* device, const HardwareConstraints* constraints)
      : LayerRecorder(device, constraints) {}

  std::unique_ptr<program::Record> record_layer(const Layer& layer, const Layer& first_layer,
                                                std::shared_ptr<Layer> next_pass_layer, bool opens_pass,
                                                bool ends_pass, const std::vector<hw::Ident>& idle_nps,
                                                bool registers_only, bool fnp_padding) const override;
  program::LearnRecordsPtr record_learning_layer(const Layer& layer, bool ib_spikes) const override;
  void sync_learning_vars(std::shared_ptr<Layer> layer) const override;
};

}  // namespace ornix::v2
