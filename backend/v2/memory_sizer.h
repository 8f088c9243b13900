#pragma once

#include "mapping/memory_sizer.h"

namespace ornix::v2 {

// The generation-2 memory sizer. Not built yet: every operation throws std::runtime_error.
class MemorySizerImpl final : public MemorySizer {
 public:
  uint32_t get_input_memory_size(const std::shared_ptr<Layer>& layer, const hw::Component& component,
                                 const std::shared_ptr<Layer>& input) const override;
  uint32_t get_weight_memory_size(const std::shared_ptr<Layer>& layer, const hw::Component& component) const override;
  uint32_t get_external_memory_size(const std::shared_ptr<Layer>& layer, const hw::Component& component,
                                    bool dual_output, bool several_passes) const override;
};

}  // namespace ornix::v2
