#pragma once

#include <cstdint>
#include <memory>

#include "hardware/component.h"
#include "ornix/layer.h"

namespace ornix {

// The memory figures of one component of a mapped layer, in bytes. Stateless. Throws
// std::runtime_error for a layer type it does not size.
class MemorySizer {
 public:
  virtual ~MemorySizer() = default;
  MemorySizer(const MemorySizer&) = delete;
  MemorySizer& operator=(const MemorySizer&) = delete;

  // `input`: the first layer of the sequence.
  virtual uint32_t get_input_memory_size(const std::shared_ptr<Layer>& layer, const hw::Component& component,
                                         const std::shared_ptr<Layer>& input) const = 0;
  virtual uint32_t get_weight_memory_size(const std::shared_ptr<Layer>& layer,
                                          const hw::Component& component) const = 0;
  // `dual_output`: the component is a dual-output skip-DMA store; `several_passes`: the
  // sequence has more than one pass.
  virtual uint32_t get_external_memory_size(const std::shared_ptr<Layer>& layer, const hw::Component& component,
                                            bool dual_output, bool several_passes) const = 0;

 protected:
  MemorySizer() = default;
};

}  // namespace ornix
