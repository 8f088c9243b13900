#pragma once

// A checker answering only the questions of convolution splitting, from plain limits, and
// builders of the components a split makes.

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "hardware/component.h"
#include "mapping/compatibility_checker.h"

namespace ornix::test {

class SplitChecker final : public CompatibilityChecker {
 public:
  // The arguments of one input-memory question.
  struct FitQuestion {
    hw::Type type;
    uint32_t height, width, channels, fifo_size;
    uint8_t input_bits;
    uint32_t reserved;
  };

  SplitChecker() : CompatibilityChecker(nullptr, nullptr) {}

  NpSplitParams split_params;                                  // returned for every layer
  uint32_t max_filters_per_np = std::numeric_limits<uint32_t>::max();  // weights of more do not fit
  uint64_t dual_area = std::numeric_limits<uint64_t>::max();   // largest dual-buffered height x width
  uint64_t single_area = std::numeric_limits<uint64_t>::max(); // largest single-buffered height x width
  bool area_counts_channels = false;                           // the areas are height x width x channels
  mutable std::vector<FitQuestion> questions;                  // every input-memory question, in order

  bool is_sram_input_fit_single_buffer(hw::Type type, uint32_t height, uint32_t width, uint32_t channels,
                                       uint32_t fifo_size, uint8_t bits, uint32_t reserved) const override {
    questions.push_back({type, height, width, channels, fifo_size, bits, reserved});
    return area(height, width, channels) <= single_area;
  }
  bool is_sram_input_fit_dual_buffer(hw::Type type, uint32_t height, uint32_t width, uint32_t channels,
                                     uint32_t fifo_size, uint8_t bits, uint32_t reserved) const override {
    questions.push_back({type, height, width, channels, fifo_size, bits, reserved});
    return area(height, width, channels) <= dual_area;
  }
  bool is_weights_size_fit_np(const Layer&, uint32_t filters) const override { return filters <= max_filters_per_np; }
  NpSplitParams np_split_params(hw::Type, const LayerParams&) const override { return split_params; }

  LayerMappingStatus check_layer_compatibility(const Layer& layer, const Layer*, HwVersion) const override {
    return LayerMappingStatus(layer);
  }
  LayerMappingStatus check_layer_sequence(LayerIterator, LayerIterator, HwVersion) const override {
    return LayerMappingStatus(std::string());
  }
  LayerMappingStatus check_layer_mappings(const Layer& layer, const std::vector<hw::Component>&) const override {
    return LayerMappingStatus(layer);
  }
  bool check_fnp3_sram_size(const HardwareConstraints&, const Layer&) const override { return true; }

 private:
  uint64_t area(uint32_t height, uint32_t width, uint32_t channels) const {
    return uint64_t{height} * width * (area_counts_channels ? channels : 1);
  }
};

inline NpSpace space(uint32_t x, uint32_t y, uint32_t width, uint32_t height, uint32_t channels) {
  return {x, y, Shape{width, height, channels}};
}

// One NP share as a split makes it: zero ident, zero memory figures.
inline hw::Component np_share(uint32_t start, uint32_t filters, NpSpace window, NpSpace padded, bool single_buffer,
                              hw::Type type = hw::Type::CNP1) {
  return {type, hw::Ident{}, NpAllocation{start, filters, window, padded, single_buffer}, MemoryInfo{}};
}

}  // namespace ornix::test
