#include <gtest/gtest.h>

#include "hardware/component.h"
#include "hardware/hw_type.h"
#include "hardware/ip_version_text.h"

namespace ornix {
namespace {

TEST(HwIdent, OrdersByColumnRowIdChannelAsUnsignedBytes) {
  EXPECT_LT((hw::Ident{1, 1, 5, 0}), (hw::Ident{1, 2, 0, 0}));
  EXPECT_LT((hw::Ident{1, 1, 1, 2}), (hw::Ident{1, 1, 1, 3}));
  EXPECT_LT((hw::Ident{3, 0, 0, 0}), (hw::Ident{200, 0, 0, 0}));
}

TEST(HwNames, TypeAndIpVersionTexts) {
  EXPECT_EQ(hw::to_string(static_cast<hw::Type>(6)), "SKIP_DMA_STORE");
  EXPECT_EQ(hw::to_string(static_cast<hw::Type>(10)), "DMA");
  EXPECT_EQ(hw::to_string(static_cast<hw::Type>(11)), "Unknown");
  EXPECT_EQ(hw::to_string(static_cast<hw::Type>(-1)), "Unknown");
  EXPECT_EQ(to_string(IpVersion::v2), "v2");
  EXPECT_EQ(to_string(static_cast<IpVersion>(255)), "none");
}

TEST(HwComponent, ReadersOfAnAbsentShareSeeNoFiltersAndASingleBuffer) {
  const NpAllocation share = hw::np_share_or_default(hw::Component{hw::Type::SKIP_DMA_LOAD, {}, {}, {}});
  EXPECT_EQ(share.start_neuron + share.filters + share.spatial_partition.x + share.padded_partition.y, 0u);
  EXPECT_TRUE(share.spatial_partition.shape.empty());
  EXPECT_TRUE(share.single_buffer);
}

}  // namespace
}  // namespace ornix
