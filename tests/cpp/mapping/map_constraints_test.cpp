#include "mapping/map_constraints.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>

#include "support/fake_mapping.h"

namespace ornix {
namespace {

constexpr HwVersion kD3_00_00_02{0xD3, 0x00, 0x00, 0x02};
constexpr HwVersion kD3_00_00_03{0xD3, 0x00, 0x00, 0x03};
constexpr HwVersion kD3_A1_01_00{0xD3, 0xA1, 0x01, 0x00};
constexpr HwVersion kD3_A2_01_00{0xD3, 0xA2, 0x01, 0x00};

MapConstraints constraints_for(const HwVersion& version) {
  return MapConstraints(std::make_shared<test::FakeDevice>(version));
}

template <typename Call>
std::string invalid_argument_text(Call call) {
  try {
    call();
  } catch (const std::invalid_argument& error) {
    return error.what();
  }
  return "no invalid_argument";
}

TEST(MapConstraints, DefaultsFollowTheDevice) {
  const MapConstraints d3_00_00_02 = constraints_for(kD3_00_00_02);
  EXPECT_EQ(d3_00_00_02.cnp_max_width_default(), 32u);
  EXPECT_EQ(d3_00_00_02.cnp_max_height_default(), 256u);
  EXPECT_EQ(d3_00_00_02.cnp_max_filters(), 504u);
  EXPECT_EQ(constraints_for(kD3_00_00_03).cnp_max_filters_default(), 512u);
  EXPECT_EQ(constraints_for(kD3_A1_01_00).cnp_max_width(), 32u);
  EXPECT_EQ(constraints_for(kD3_A2_01_00).cnp_max_width(), 64u);
  EXPECT_EQ(invalid_argument_text([] { MapConstraints constraints(nullptr); }),
            "Invalid device passed to MapConstraints.");
}

TEST(MapConstraints, LimitsAcceptOneToTheDefaultAndKeepTheValueOtherwise) {
  MapConstraints constraints = constraints_for(kD3_A2_01_00);
  constraints.set_cnp_max_width(10);
  EXPECT_EQ(invalid_argument_text([&] { constraints.set_cnp_max_width(65); }),
            "Invalid cnp max width: 65. Expected value in range [1, 64].");
  EXPECT_EQ(constraints.cnp_max_width(), 10u);
  EXPECT_EQ(invalid_argument_text([&] { constraints.set_cnp_max_height(0); }),
            "Invalid cnp max height: 0. Expected value in range [1, 256].");
  EXPECT_EQ(invalid_argument_text([&] { constraints.set_cnp_max_filters(4294967295u); }),
            "Invalid cnp max filters: 4294967295. Expected value in range [1, 512].");
  constraints.set_cnp_max_filters(1);
  EXPECT_EQ(constraints.cnp_max_filters(), 1u);
}

TEST(MapConstraints, LoopItselfIsRefusedOnIpV1Only) {
  MapConstraints v1 = constraints_for(kD3_A1_01_00);
  EXPECT_EQ(invalid_argument_text([&] { v1.set_hwpr_loopitself(true); }),
            "HWPR NP loopitself feature is not supported for IP v1.");
  EXPECT_FALSE(v1.hwpr_loopitself());
  MapConstraints v2 = constraints_for(kD3_A2_01_00);
  v2.set_hwpr_loopitself(true);
  EXPECT_TRUE(v2.hwpr_loopitself());
}

TEST(MapConstraints, BaseSelectionTakesTheFirstEntries) {
  const MapConstraints constraints = constraints_for(kD3_A2_01_00);
  const std::vector<hw::Ident> free{{1, 1, 0, 0}, {1, 1, 1, 0}, {2, 1, 0, 0}};
  EXPECT_EQ(constraints.select_nps(free, 2, hw::Type::CNP1), (std::vector<hw::Ident>{free[0], free[1]}));
  EXPECT_EQ(constraints.select_nps(free, 5, hw::Type::FNP2), free);
}

}  // namespace
}  // namespace ornix
