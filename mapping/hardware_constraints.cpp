#include "mapping/hardware_constraints.h"

#include "mapping/limits.h"

namespace ornix {

HardwareConstraints make_hardware_constraints(Generation generation, const SramSize& sram) {
  const bool v1 = generation == Generation::v1;
  const FixedConstraintWords& fixed = v1 ? kFixedWordsV1 : kFixedWordsV2;
  // u32 throughout: the products wrap before each division.
  const uint32_t input_bits = sram.input_bytes * 8u;
  const uint32_t weight_bits = sram.weight_bytes * 8u;

  HardwareConstraints table;
  table.fnp3_sram_size = weight_bits / kWordBits * kFnp3SramShareNumerator / kFnp3SramShareDenominator;
  table.cnp_weight_memory_size = weight_bits / (v1 ? kCnpWeightWordBitsV1 : kCnpWeightWordBitsV2);
  table.max_input_width = fixed.max_input_width;
  table.max_input_height = fixed.max_input_height;
  table.max_input_channels = fixed.max_input_channels;
  table.max_filters = fixed.max_filters;
  table.unused_6 = fixed.unused[0];
  table.unused_7 = fixed.unused[1];
  table.unused_8 = fixed.unused[2];
  table.unused_9 = fixed.unused[3];
  table.unused_10 = fixed.unused[4];
  table.input_sram_dual_buffer_size = input_bits / kDualBufferWordBits;
  table.input_sram_single_buffer_size = input_bits / kWordBits;
  table.fnp_input_memory_size = input_bits / kWordBits;
  table.input_shift_memory_size = fixed.input_shift_memory_size;
  return table;
}

}  // namespace ornix
