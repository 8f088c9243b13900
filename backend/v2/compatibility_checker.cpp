#include "backend/v2/compatibility_checker.h"

#include <stdexcept>

namespace ornix::v2 {

namespace {

[[noreturn]] void refuse() { throw std::runtime_error("Generation-2 compatibility checks are not available yet."); }

}  // namespace

LayerMappingStatus CompatibilityCheckerImpl::check_layer_compatibility(const Layer&, const Layer*, HwVersion) const {
  refuse();
}

LayerMappingStatus CompatibilityCheckerImpl::check_layer_sequence(LayerIterator, LayerIterator, HwVersion) const {
  refuse();
}

LayerMappingStatus CompatibilityCheckerImpl::check_layer_mappings(const Layer&,
                                                                  const std::vector<hw::Component>&) const {
  refuse();
}

bool CompatibilityCheckerImpl::is_sram_input_fit_single_buffer(hw::Type, uint32_t, uint32_t, uint32_t, uint32_t,
                                                               uint8_t, uint32_t) const {
  refuse();
}

bool CompatibilityCheckerImpl::is_sram_input_fit_dual_buffer(hw::Type, uint32_t, uint32_t, uint32_t, uint32_t,
                                                             uint8_t, uint32_t) const {
  refuse();
}

bool CompatibilityCheckerImpl::is_weights_size_fit_np(const Layer&, uint32_t) const { refuse(); }

NpSplitParams CompatibilityCheckerImpl::np_split_params(hw::Type, const LayerParams&) const { refuse(); }

bool CompatibilityCheckerImpl::check_fnp3_sram_size(const HardwareConstraints&, const Layer&) const { refuse(); }

}  // namespace ornix::v2
