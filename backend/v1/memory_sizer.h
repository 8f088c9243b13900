#pragma once

#include "mapping/memory_sizer.h"

namespace ornix::v1 {

// The generation-1 memory figures of one component of a mapped layer, in bytes, computed in
// unsigned 32-bit arithmetic. Stateless.
//
// A layer type outside InputConvolutional, FullyConnected, Convolutional,
// SeparableConvolutional, Add and Dequantizer throws std::invalid_argument "Invalid v1 layer
// type." from the input and weight figures; the external figure never fails on the type.
class MemorySizerImpl final : public MemorySizer {
 public:
  // Convolutional and SeparableConvolutional: the NP's input window, ceil(container x channels
  // / 4) x rows words, the container being the bytes of one row of the layer's whole input
  // width, the channels those of the NP's spatial partition and the rows those of its padded
  // partition (pooling plays no part). FullyConnected: the FNP input memory. 0 for the others.
  uint32_t get_input_memory_size(const std::shared_ptr<Layer>& layer, const hw::Component& component,
                                 const std::shared_ptr<Layer>& input) const override;
  // Convolutional and SeparableConvolutional: the NP's formatted weights, counted in 50-bit
  // weight words; InputConvolutional: the HRC SRAM contents; FullyConnected: the FNP memory
  // image on an FNP3, else 0; 0 for Add and Dequantizer.
  uint32_t get_weight_memory_size(const std::shared_ptr<Layer>& layer, const hw::Component& component) const override;
  // The FNP memory image on an FNP2, whatever the layer; 0 for any other component.
  uint32_t get_external_memory_size(const std::shared_ptr<Layer>& layer, const hw::Component& component,
                                    bool dual_output, bool several_passes) const override;
};

}  // namespace ornix::v1
