#pragma once

#include <cstdint>
#include <string>

#include "mapping/compatibility_checker.h"

namespace ornix::v2 {

// The generation-2 compatibility checker. Holds only the two pointers the base lends (the
// device, which has a mesh, and its limits table); every operation is a pure function of its
// arguments, the device and the table. Per-layer checks fold every finding into one status,
// one message per line; exceptions come only from inputs outside the checks' tables.
class CompatibilityCheckerImpl final : public CompatibilityChecker {
 public:
  CompatibilityCheckerImpl(const Device* device, const HardwareConstraints* constraints)
      : CompatibilityChecker(device, constraints) {}

  // In order: the per-channel variable widths, the activation, then the check of the layer's
  // type. A type this generation does not map replaces every finding with the single
  // "Unsupported layer type on Ornix v2.". `inbound` (the first inbound layer, or null) goes
  // to the Dense1D check only; `version` is not used.
  LayerMappingStatus check_layer_compatibility(const Layer& layer, const Layer* inbound,
                                               HwVersion version) const override;
  // The sequence rules (sequence_rules.h); `version` is not used.
  LayerMappingStatus check_layer_sequence(LayerIterator first, LayerIterator last, HwVersion version) const override;
  // The same rules, judged from what each new layer adds (SequenceRules).
  std::unique_ptr<SequenceCheck> start_sequence_check(HwVersion version) const override;
  // Fails on the first CNP1/CNP2 component whose input width, rounded up to a multiple of 4,
  // exceeds 64; other components are not examined. A success carries no layer name.
  LayerMappingStatus check_layer_mappings(const Layer& layer,
                                          const std::vector<hw::Component>& components) const override;
  // Whether the chunk (height and width with its padding, channels, `input_bits` per value)
  // fits the single-buffer input memory less `reserved` 32-bit words; `fifo_size` counts the
  // extra input buffers of a TNP-B. A `reserved` above the budget never fits.
  // std::runtime_error "Type of NP not supported." for types other than CNP1, CNP2, TNP_B.
  bool is_sram_input_fit_single_buffer(hw::Type type, uint32_t height, uint32_t width, uint32_t channels,
                                       uint32_t fifo_size, uint8_t input_bits, uint32_t reserved) const override;
  // The same against one buffer of the dual-buffer input memory.
  bool is_sram_input_fit_dual_buffer(hw::Type type, uint32_t height, uint32_t width, uint32_t channels,
                                     uint32_t fifo_size, uint8_t input_bits, uint32_t reserved) const override;
  // Whether `filters` filters fit one NP's weight memory and their channel container fits its
  // register field. std::invalid_argument "Unexpected layer type for CNP or TNP-B." for a
  // layer that is not a convolution or buffered temporal convolution.
  bool is_weights_size_fit_np(const Layer& layer, uint32_t filters) const override;
  // {K/2 four times (0 on a TNP_B), pool type, pool size twice, filters}; absent "filters",
  // "pool_type" and "pool_size" read as 0, "kernel_size" must be present unless on a TNP_B.
  NpSplitParams np_split_params(hw::Type type, const LayerParams& params) const override;
  // Whether the layer's FNP memory image fits the FNP3 budget of `constraints`.
  bool check_fnp3_sram_size(const HardwareConstraints& constraints, const Layer& layer) const override;

  // The activation rules: only CNP and HRC layers take an activation other than ReLU, and a
  // lookup-table activation needs a LUT on every NP of the mesh. Both findings are folded.
  LayerMappingStatus check_supported_activation(const Layer& layer) const;
};

// Success when the layer has no such variable or its values need at most `max_bits` bits
// (evaluate_bitwidth); otherwise an error naming the variable, the limit and the width found.
LayerMappingStatus check_variable_bitwidth(const Layer& layer, uint32_t max_bits, const std::string& variable);

}  // namespace ornix::v2
