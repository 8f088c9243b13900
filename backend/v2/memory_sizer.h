#pragma once

#include "mapping/memory_sizer.h"

namespace ornix::v2 {

// The generation-2 memory figures of one component of a mapped layer, in bytes, computed in
// unsigned 32-bit arithmetic. Stateless.
//
// A layer type outside the input and weight tables throws std::invalid_argument "Invalid v2
// layer type."; the external figure never fails on the type.
class MemorySizerImpl final : public MemorySizer {
 public:
  // CNP layers on a CNP: their padded input window (plus 512 words after an Add); TNP-B layers
  // on a TNP-B: the window of every frame of the FIFO and the current one; Dense1D: the FNP
  // input memory on any component. 0 for merge, HRC, TNP-R and readout layers and for a CNP or
  // TNP-B layer on another component. The FNP input memory takes the layer's input as one flat
  // vector when the layer is `input`, the first layer of its sequence.
  uint32_t get_input_memory_size(const std::shared_ptr<Layer>& layer, const hw::Component& component,
                                 const std::shared_ptr<Layer>& input) const override;
  // The formatted weights of the component's filters on a CNP, TNP-B or FNP3; the HRC SRAM
  // contents of an InputConv2D; 0 otherwise.
  uint32_t get_weight_memory_size(const std::shared_ptr<Layer>& layer, const hw::Component& component) const override;
  // An FNP2's weights; a skip-DMA store's buffer; 0 for any other component.
  uint32_t get_external_memory_size(const std::shared_ptr<Layer>& layer, const hw::Component& component,
                                    bool dual_output, bool several_passes) const override;
};

}  // namespace ornix::v2
