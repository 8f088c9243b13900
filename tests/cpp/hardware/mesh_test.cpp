#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>

#include "engine/error_text.h"
#include "hardware/mesh.h"

namespace ornix {
namespace {

TEST(Mesh, TakesTheSramSizesOfItsGenerationAndRefusesOthers) {
  EXPECT_EQ(Mesh(IpVersion::v1, {}, {}, std::nullopt, {}, {}).np_sram_size, (SramSize{43008, 44800}));
  EXPECT_EQ(Mesh(IpVersion::v2, {}, {}, std::nullopt, {}, {}).np_sram_size, (SramSize{65536, 51200}));
  EXPECT_EQ(error_text([] { Mesh(IpVersion::none, {}, {}, std::nullopt, {}, {}); }),
            "The mesh should have a valid IP version.");
}

TEST(Mesh, HasLutOnAllNpsOnlyWhenTheHrcAndEveryNpHaveOne) {
  const np::Info hrc_without_lut{{}, {hw::Type::HRC}, false};
  const np::Info with_lut{{1, 1, 0, 0}, {hw::Type::CNP1}, true};
  const np::Info without_lut{{1, 1, 1, 0}, {hw::Type::CNP1}, false};
  const auto mesh = [](std::optional<np::Info> hrc, std::vector<np::Info> nps) {
    return Mesh(IpVersion::v1, {}, {}, hrc, nps, {{{1, 1, 3, 5}, {hw::Type::SKIP_DMA_LOAD}, false}});
  };
  EXPECT_TRUE(mesh(std::nullopt, {with_lut}).has_lut_on_all_nps());
  EXPECT_FALSE(mesh(std::nullopt, {with_lut, without_lut}).has_lut_on_all_nps());
  EXPECT_FALSE(mesh(hrc_without_lut, {with_lut}).has_lut_on_all_nps());
}

}  // namespace
}  // namespace ornix
