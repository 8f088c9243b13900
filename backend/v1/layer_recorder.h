#pragma once

#include "mapping/layer_recorder.h"

namespace ornix::v1 {

// The generation-1 layer recorder: hands each layer to the recorder of its type and reads the
// learned FNP memory back into a learning layer's variables.
class LayerRecorderImpl final : public LayerRecorder {
 public:
  LayerRecorderImpl(const Device* device, const HardwareConstraints* constraints)
      : LayerRecorder(device, constraints) {}

  // By the layer's type: InputConvolutional to record_program_hrc_layer (every other argument
  // unused); FullyConnected, Convolutional and SeparableConvolutional to
  // record_program_dense_layer, record_program_conv_layer and record_program_sep_conv_layer
  // (`first_layer` and `fnp_padding` unused). Another type throws std::runtime_error
  // "Unsupported layer type: N.".
  std::unique_ptr<program::Record> record_layer(const Layer& layer, const Layer& first_layer,
                                                std::shared_ptr<Layer> next_pass_layer, bool opens_pass,
                                                bool ends_pass, const std::vector<hw::Ident>& idle_nps,
                                                bool registers_only, bool fnp_padding) const override;
  // record_program_learning_dense_layer.
  program::LearnRecordsPtr record_learning_layer(const Layer& layer, bool ib_spikes) const override;
  // fnp_update_learn_vars on the device's hardware, from the first NP of the layer's mapping.
  void sync_learning_vars(std::shared_ptr<Layer> layer) const override;
};

}  // namespace ornix::v1
