#include <gtest/gtest.h>

#include "hardware/component.h"
#include "hardware/hw_type.h"
#include "hardware/ip_version_text.h"
#include "ornix/hw/ident.h"

namespace ornix {
namespace {

TEST(HwIdent, OrdersByColumnThenRowThenIdThenChannelAsUnsignedBytes) {
  EXPECT_LT((hw::Ident{1, 1, 5, 0}), (hw::Ident{1, 2, 0, 0}));
  EXPECT_LT((hw::Ident{1, 9, 9, 9}), (hw::Ident{2, 0, 0, 0}));
  EXPECT_LT((hw::Ident{1, 1, 0, 9}), (hw::Ident{1, 1, 1, 0}));
  EXPECT_LT((hw::Ident{1, 1, 1, 2}), (hw::Ident{1, 1, 1, 3}));
  EXPECT_LT((hw::Ident{3, 0, 0, 0}), (hw::Ident{200, 0, 0, 0}));
  EXPECT_EQ((hw::Ident{}), (hw::Ident{0, 0, 0, 0}));
  EXPECT_NE((hw::Ident{1, 1, 1, 1}), (hw::Ident{1, 1, 1, 2}));
}

TEST(HwType, NamesEveryKindAndUnknownOtherwise) {
  EXPECT_EQ(hw::to_string(hw::Type::None), "None");
  EXPECT_EQ(hw::to_string(hw::Type::HRC), "HRC");
  EXPECT_EQ(hw::to_string(hw::Type::CNP2), "CNP2");
  EXPECT_EQ(hw::to_string(hw::Type::FNP3), "FNP3");
  EXPECT_EQ(hw::to_string(static_cast<hw::Type>(6)), "SKIP_DMA_STORE");
  EXPECT_EQ(hw::to_string(hw::Type::TNP_R), "TNP_R");
  EXPECT_EQ(hw::to_string(hw::Type::SKIP_DMA_LOAD), "SKIP_DMA_LOAD");
  EXPECT_EQ(hw::to_string(static_cast<hw::Type>(10)), "DMA");
  EXPECT_EQ(hw::to_string(static_cast<hw::Type>(11)), "Unknown");
  EXPECT_EQ(hw::to_string(static_cast<hw::Type>(-1)), "Unknown");
  EXPECT_EQ(hw::to_string(static_cast<hw::Type>(0x80000000u)), "Unknown");
}

TEST(IpVersionText, IsV1V2OrNone) {
  EXPECT_EQ(to_string(IpVersion::v1), "v1");
  EXPECT_EQ(to_string(IpVersion::v2), "v2");
  EXPECT_EQ(to_string(IpVersion::none), "none");
  EXPECT_EQ(to_string(static_cast<IpVersion>(3)), "none");
  EXPECT_EQ(to_string(static_cast<IpVersion>(255)), "none");
}

TEST(HwComponent, ReadersOfAnAbsentShareSeeNoFiltersZeroWindowsAndASingleBuffer) {
  const hw::Component load{hw::Type::SKIP_DMA_LOAD, {}, {}, {}};
  EXPECT_EQ(static_cast<uint32_t>(load.type), 9u);
  EXPECT_EQ(load.ident, (hw::Ident{0, 0, 0, 0}));
  EXPECT_FALSE(load.allocation.has_value());
  EXPECT_EQ(load.mem_info, (MemoryInfo{0, 0, 0}));

  const NpAllocation share = hw::np_share_or_default(load);
  EXPECT_EQ(share.start_neuron, 0u);
  EXPECT_EQ(share.filters, 0u);
  EXPECT_EQ(share.spatial_partition.x, 0u);
  EXPECT_EQ(share.spatial_partition.y, 0u);
  EXPECT_TRUE(share.spatial_partition.shape.empty());
  EXPECT_TRUE(share.padded_partition.shape.empty());
  EXPECT_TRUE(share.single_buffer);

  hw::Component cnp{hw::Type::CNP1, {1, 2, 0, 0}, NpAllocation{}, {}};
  cnp.allocation->start_neuron = 8;
  cnp.allocation->filters = 4;
  cnp.allocation->single_buffer = false;
  const NpAllocation given = hw::np_share_or_default(cnp);
  EXPECT_EQ(given.start_neuron, 8u);
  EXPECT_EQ(given.filters, 4u);
  EXPECT_FALSE(given.single_buffer);
}

}  // namespace
}  // namespace ornix
