#include "mapping/hardware_constraints.h"

#include <gtest/gtest.h>

namespace ornix {
namespace {

TEST(HardwareConstraints, DefaultSramGivesTheGenerationTables) {
  const HardwareConstraints v1{10752, 7168, 4096, 4096, 2048, 2048, 32, 256, 2048, 512, 504, 5376, 10752, 10752, 0};
  EXPECT_EQ(make_hardware_constraints(Generation::v1, SramSize_v1), v1);

  const HardwareConstraints v2{12288, 4096, 4096, 4096, 2048, 2048, 64, 256, 1536, 512, 0, 8192, 16384, 16384, 256};
  EXPECT_EQ(make_hardware_constraints(Generation::v2, SramSize_v2), v2);
}

TEST(HardwareConstraints, ProductsWrapInThirtyTwoBitsBeforeDividing) {
  // 0x20000000 bytes are 2^32 bits: the size wraps to 0.
  for (const Generation generation : {Generation::v1, Generation::v2}) {
    const HardwareConstraints table = make_hardware_constraints(generation, SramSize{0x20000000, 0x20000000});
    EXPECT_TRUE(table.fnp3_sram_size == 0 && table.cnp_weight_memory_size == 0 &&
                table.input_sram_single_buffer_size == 0);
  }

  // 0x1FFFFFFF bytes: 0xFFFFFFF8 bits; / 32 = 134217727, * 48 wraps to 2147483600, / 50.
  const SramSize largest{0x1FFFFFFF, 0x1FFFFFFF};
  const HardwareConstraints v1 = make_hardware_constraints(Generation::v1, largest);
  EXPECT_EQ(v1.fnp3_sram_size, 42949672u);
  EXPECT_EQ(v1.cnp_weight_memory_size, 85899345u);  // 0xFFFFFFF8 / 50
  EXPECT_EQ(make_hardware_constraints(Generation::v2, largest).cnp_weight_memory_size, 42949672u);  // / 100
}

}  // namespace
}  // namespace ornix
