#pragma once

#include <cstdint>
#include <vector>

#include "mapping/compatibility_checker.h"

namespace ornix::v1 {

// The generation-1 compatibility checker. Holds only the two pointers the base lends (the
// device and its limits table); every operation is a pure function of its arguments, the
// device's version and the table. Layer problems come back as statuses, one line per broken
// limit in the order of the checks; exceptions come only from broken engine invariants: a
// convolution that is not built (std::runtime_error "The layer <name> is not built."), a layer
// whose type and engine class disagree (std::bad_cast), a weights tensor not stored as signed
// bytes (panic), unset dimensions (the engine's std::runtime_error).
class CompatibilityCheckerImpl final : public CompatibilityChecker {
 public:
  CompatibilityCheckerImpl(const Device* device, const HardwareConstraints* constraints)
      : CompatibilityChecker(device, constraints) {}

  // Vamo_v1 refuses every layer. Otherwise the check of the layer's type: HRC for
  // InputConvolutional, standard or separable CNP, and for FullyConnected the FNP check, then,
  // when that passes, the weight value range and, for a learning layer, the weights per neuron.
  // Any other type: "Unsupported layer type on Ornix v1.". `inbound` is not used.
  LayerMappingStatus check_layer_compatibility(const Layer& layer, const Layer* inbound,
                                               HwVersion version) const override;
  // The max pooling rules (sequence_rules.h); `version` is not used.
  LayerMappingStatus check_layer_sequence(LayerIterator first, LayerIterator last, HwVersion version) const override;
  // The same rules, judged from what each new layer adds (SequenceRules).
  std::unique_ptr<SequenceCheck> start_sequence_check(HwVersion version) const override;
  // The CNP placement rules (cnp_mapping_rules.h) with the device's version, then the input
  // width of every CNP1/CNP2 component rounded up to a multiple of 4: a width above 32 replaces
  // the status, so the last such component is named. InputConvolutional and FullyConnected
  // succeed with no layer name; another type is "unknown Layer type.".
  LayerMappingStatus check_layer_mappings(const Layer& layer,
                                          const std::vector<hw::Component>& components) const override;
  // Whether `height` rows of `width` values of `input_bits` bits over `channels` channels, in
  // 32-bit words, fit the single-buffer input budget (table word 12). The type, `fifo_size` and
  // `reserved` play no part on this generation.
  bool is_sram_input_fit_single_buffer(hw::Type type, uint32_t height, uint32_t width, uint32_t channels,
                                       uint32_t fifo_size, uint8_t input_bits, uint32_t reserved) const override;
  // The same against the dual-buffer budget (table word 11).
  bool is_sram_input_fit_dual_buffer(hw::Type type, uint32_t height, uint32_t width, uint32_t channels,
                                     uint32_t fifo_size, uint8_t input_bits, uint32_t reserved) const override;
  // Whether `filters` filters of the CNP layer fit one NP's weight memory.
  bool is_weights_size_fit_np(const Layer& layer, uint32_t filters) const override;
  // {kernel_width / 2 twice, kernel_height / 2 twice, pool_type, pooling_width, pooling_height,
  // filters}; a global pooling width (-1) comes back as 0xFFFFFFFF. `type` is not used.
  NpSplitParams np_split_params(hw::Type type, const LayerParams& params) const override;
  // Whether the layer's FNP memory fits the FNP3 budget of `constraints` (word 0) and the FNP3
  // register field that carries its size (is_fnp_type_compatible).
  bool check_fnp3_sram_size(const HardwareConstraints& constraints, const Layer& layer) const override;

  // The limits of a Convolutional layer: input size, filters, kernel, strides, padding and
  // pooling, then kernel sizes 1, 3, 5, 7 and weights of 1, 2 or 4 bits, then (only when all
  // of those pass) whether one filter fits an NP's weight memory.
  LayerMappingStatus check_std_cnp_constraints(const Layer& layer, HwVersion version) const;
  // The limits of a SeparableConvolutional layer: the common CNP limits, then kernel sizes 3,
  // 5, 7, weights of 2 or 4 bits and no global average pooling of a 1x1 input, then (only when
  // all of those pass) the filter fit and the depthwise weights not all zero, and the pointwise
  // weights not all zero when that still passes.
  LayerMappingStatus check_sep_cnp_constraints(const Layer& layer, HwVersion version) const;
  // The limits of a FullyConnected layer: input bits, input values, the CNP input limits (while
  // all passes, and unless the input is 1x1), weights_bits, act_bits, then (while all passes)
  // the FNP input memory (table word 13).
  LayerMappingStatus check_fnp_common_constraints(const Layer& layer, HwVersion version) const;
};

// The placement rules of a Convolutional layer over its NPs: no convolution stride above 1
// with max pooling on a spatially split layer, check_sep_cnp_mappings, and on Vamo_v2 (while
// all passes) a one-channel layer of more than 16 filters needs an even number of groups of
// 8 filters on each NP, one line per NP that has not.
LayerMappingStatus check_std_cnp_mappings(const Layer& layer, const std::vector<hw::Component>& components,
                                          HwVersion version);
// The placement rule of a SeparableConvolutional layer (and of a standard one): a spatially
// split layer with max pooling needs pooling sizes no larger than the pooling strides.
LayerMappingStatus check_sep_cnp_mappings(const Layer& layer, const std::vector<hw::Component>& components);

}  // namespace ornix::v1
