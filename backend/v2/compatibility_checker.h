#pragma once

#include "mapping/compatibility_checker.h"

namespace ornix::v2 {

// The generation-2 compatibility checker. Not built yet: every check throws
// std::runtime_error.
class CompatibilityCheckerImpl final : public CompatibilityChecker {
 public:
  CompatibilityCheckerImpl(const Device* device, const HardwareConstraints* constraints)
      : CompatibilityChecker(device, constraints) {}

  LayerMappingStatus check_layer_compatibility(const Layer& layer, const Layer* inbound,
                                               HwVersion version) const override;
  LayerMappingStatus check_layer_sequence(LayerIterator first, LayerIterator last, HwVersion version) const override;
  LayerMappingStatus check_layer_mappings(const Layer& layer,
                                          const std::vector<hw::Component>& components) const override;
  bool is_sram_input_fit_single_buffer(hw::Type type, uint32_t height, uint32_t width, uint32_t channels,
                                       uint32_t fifo_size, uint8_t input_bits, uint32_t reserved) const override;
  bool is_sram_input_fit_dual_buffer(hw::Type type, uint32_t height, uint32_t width, uint32_t channels,
                                     uint32_t fifo_size, uint8_t input_bits, uint32_t reserved) const override;
  bool is_weights_size_fit_np(const Layer& layer, uint32_t filters) const override;
  NpSplitParams np_split_params(hw::Type type, const LayerParams& params) const override;
  bool check_fnp3_sram_size(const HardwareConstraints& constraints, const Layer& layer) const override;
};

}  // namespace ornix::v2
