#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "hardware/component.h"
#include "hardware/hw_type.h"
#include "hardware/mapping_status.h"
#include "mapping/hardware_constraints.h"
#include "mapping/np_split_params.h"
#include "ornix/device.h"
#include "ornix/hw_version.h"
#include "ornix/layer.h"
#include "ornix/layer_params.h"

namespace ornix {

// The generation's judgement of layers and placements, and the fit questions of splitting.
// Made by IpVersionSpecificHardwareBackend with its device and table, which outlive it; lent to
// the mapping by const reference. Checks report through statuses and do not throw for an
// unsuitable layer.
class CompatibilityChecker {
 public:
  using LayerIterator = std::vector<std::shared_ptr<Layer>>::const_iterator;

  virtual ~CompatibilityChecker() = default;
  CompatibilityChecker(const CompatibilityChecker&) = delete;
  CompatibilityChecker& operator=(const CompatibilityChecker&) = delete;

  // Whether the generation supports the layer; `inbound` is its first inbound layer, or null
  // for an attempt's first layer or a layer without inbounds.
  virtual LayerMappingStatus check_layer_compatibility(const Layer& layer, const Layer* inbound,
                                                       HwVersion version) const = 0;
  // The generation's sequence rules over the half-open run [first, last).
  virtual LayerMappingStatus check_layer_sequence(LayerIterator first, LayerIterator last,
                                                  HwVersion version) const = 0;

  // The sequence rules of a run that grows one layer at a time (a mapping attempt's prefix).
  class SequenceCheck {
   public:
    virtual ~SequenceCheck() = default;
    // Adds the run's next layer (model order) and returns check_layer_sequence's answer for the
    // run so far.
    virtual LayerMappingStatus extend(std::shared_ptr<Layer> layer) = 0;
    // Extends by every layer of [first, last) and returns the last answer (success for none).
    LayerMappingStatus extend_all(LayerIterator first, LayerIterator last);
  };
  // A check for a new, empty run. This form asks check_layer_sequence over the whole run at
  // every layer; a generation that can judge what the new layer adds overrides it, so that a
  // run of n layers costs O(n) rather than O(n^2).
  virtual std::unique_ptr<SequenceCheck> start_sequence_check(HwVersion version) const;
  // Whether the components the mesh mapper gave the layer suit it.
  virtual LayerMappingStatus check_layer_mappings(const Layer& layer,
                                                  const std::vector<hw::Component>& components) const = 0;
  // Whether an input window (height, width, channels; `input_bits` per value) fits the NP's
  // input memory used as one buffer, `reserved` 32-bit words being taken.
  virtual bool is_sram_input_fit_single_buffer(hw::Type type, uint32_t height, uint32_t width, uint32_t channels,
                                               uint32_t fifo_size, uint8_t input_bits, uint32_t reserved) const = 0;
  // The same with the input memory used as two buffers.
  virtual bool is_sram_input_fit_dual_buffer(hw::Type type, uint32_t height, uint32_t width, uint32_t channels,
                                             uint32_t fifo_size, uint8_t input_bits, uint32_t reserved) const = 0;
  // Whether `filters` filters of the layer fit one NP's weight memory.
  virtual bool is_weights_size_fit_np(const Layer& layer, uint32_t filters) const = 0;
  // The kernel, pooling and filter figures by which the layer is split over NPs of `type`.
  virtual NpSplitParams np_split_params(hw::Type type, const LayerParams& params) const = 0;
  // Whether the layer's FNP memory fits the FNP3's internal memory of `constraints`.
  virtual bool check_fnp3_sram_size(const HardwareConstraints& constraints, const Layer& layer) const = 0;

  // True for FNP2; for any other type, check_fnp3_sram_size with this checker's own table.
  bool is_fnp_type_compatible(const Layer& layer, hw::Type type) const;
  bool is_fnp3_compatible(const Layer& layer) const { return is_fnp_type_compatible(layer, hw::Type::FNP3); }

 protected:
  // Neither pointer is owned; both must outlive the checker.
  CompatibilityChecker(const Device* device, const HardwareConstraints* constraints)
      : device(device), constraints(constraints) {}

  const Device* device;
  const HardwareConstraints* constraints;
};

}  // namespace ornix
