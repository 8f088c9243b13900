#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>
#include <vector>

#include "hardware/mesh.h"

namespace ornix {
namespace {

np::Info np_with_lut(hw::Ident ident, bool has_lut) { return {ident, {hw::Type::CNP1}, has_lut}; }

Mesh v1_mesh(std::optional<np::Info> hrc, std::vector<np::Info> nps) {
  return Mesh(IpVersion::v1, {}, {}, std::move(hrc), std::move(nps), {});
}

TEST(Mesh, TakesTheSramSizesOfItsGeneration) {
  EXPECT_EQ(v1_mesh(std::nullopt, {}).np_sram_size, (SramSize{43008, 44800}));
  EXPECT_EQ(Mesh(IpVersion::v2, {}, {}, std::nullopt, {}, {}).np_sram_size, (SramSize{65536, 51200}));
}

TEST(Mesh, RefusesAnInvalidIpVersion) {
  for (const auto version : {IpVersion::none, static_cast<IpVersion>(3)}) {
    try {
      Mesh(version, {}, {}, std::nullopt, {}, {});
      ADD_FAILURE() << "no error";
    } catch (const std::runtime_error& error) {
      EXPECT_STREQ(error.what(), "The mesh should have a valid IP version.");
    }
  }
}

TEST(Mesh, HasLutOnAllNpsOnlyWhenTheHrcAndEveryNpHaveOne) {
  const np::Info hrc_without_lut{{}, {hw::Type::HRC}, false};
  const np::Info hrc_with_lut{{}, {hw::Type::HRC}, true};
  const np::Info a = np_with_lut({1, 1, 0, 0}, true);
  const np::Info b = np_with_lut({1, 1, 1, 0}, true);
  const np::Info no_lut = np_with_lut({1, 2, 0, 0}, false);

  EXPECT_TRUE(v1_mesh(std::nullopt, {}).has_lut_on_all_nps());
  EXPECT_FALSE(v1_mesh(hrc_without_lut, {}).has_lut_on_all_nps());
  EXPECT_FALSE(v1_mesh(hrc_without_lut, {a, b}).has_lut_on_all_nps());
  EXPECT_TRUE(v1_mesh(hrc_with_lut, {a, b}).has_lut_on_all_nps());
  EXPECT_TRUE(v1_mesh(std::nullopt, {a, b}).has_lut_on_all_nps());
  EXPECT_FALSE(v1_mesh(std::nullopt, {a, no_lut}).has_lut_on_all_nps());

  const np::Info skip_dma{{1, 1, 3, 5}, {hw::Type::SKIP_DMA_STORE, hw::Type::SKIP_DMA_LOAD}, false};
  EXPECT_TRUE(Mesh(IpVersion::v2, {}, {}, hrc_with_lut, {a}, {skip_dma}).has_lut_on_all_nps());
}

}  // namespace
}  // namespace ornix
