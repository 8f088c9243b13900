#pragma once

#include <cstdint>

#include "hardware/sram_size.h"
#include "mapping/generation.h"

namespace ornix {

// The generation's memory and size limits of one device, computed from its mesh's SRAM sizes.
// Fifteen u32 words, in this order; the checkers and recorders read them by name.
struct HardwareConstraints {
  uint32_t fnp3_sram_size = 0;          // FNP3 (internal-memory FNP) SRAM budget, 32-bit words
  uint32_t cnp_weight_memory_size = 0;  // one CNP's weight memory: 50-bit words (v1), 100-bit words (v2)
  uint32_t max_input_width = 0;
  uint32_t max_input_height = 0;
  uint32_t max_input_channels = 0;
  uint32_t max_filters = 0;
  uint32_t unused_6 = 0;  // words 6 to 10 are filled but read by nothing
  uint32_t unused_7 = 0;
  uint32_t unused_8 = 0;
  uint32_t unused_9 = 0;
  uint32_t unused_10 = 0;
  uint32_t input_sram_dual_buffer_size = 0;    // one buffer of a double-buffered NP input, 32-bit words
  uint32_t input_sram_single_buffer_size = 0;  // a single-buffered NP input, 32-bit words
  uint32_t fnp_input_memory_size = 0;          // FNP input memory, 32-bit words
  uint32_t input_shift_memory_size = 0;        // input-shift memory, 24-bit words

  bool operator==(const HardwareConstraints&) const = default;
};

static_assert(sizeof(HardwareConstraints) == 15 * sizeof(uint32_t));

// The table of `generation` for a mesh with `sram` (bytes). The arithmetic is u32 in the order
// of the formulas: a product that overflows wraps before the division that follows it.
HardwareConstraints make_hardware_constraints(Generation generation, const SramSize& sram);

}  // namespace ornix
