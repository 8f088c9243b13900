#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <stdexcept>
#include <vector>

#include "engine/error_text.h"
#include "hardware/mesh.h"
#include "mesh_fixture.h"
#include "ornix/hardware_device.h"

namespace ornix {
namespace {

using namespace testing_mesh;
using Types = std::set<hw::Type>;

std::unique_ptr<Mesh> discover(SimulatedDriver& driver) {
  return Mesh::discover(HardwareDevice::create(&driver).get());
}

std::vector<hw::Ident> idents_of(const std::vector<np::Info>& infos) {
  std::vector<hw::Ident> idents;
  for (const np::Info& info : infos) idents.push_back(info.ident);
  return idents;
}

// Mesh register offsets read, in order.
std::vector<uint32_t> mesh_reads(const SimulatedDriver& driver) {
  std::vector<uint32_t> offsets;
  for (const auto& access : driver.log()) {
    if (access.address - kTopBase < 0x100) offsets.push_back(access.address - kTopBase);
  }
  return offsets;
}

const std::vector<hw::Ident> k2x2Nps = {{1, 1, 1, 0}, {1, 2, 0, 0}, {1, 2, 1, 0}, {2, 1, 0, 0},
                                        {2, 1, 1, 0}, {2, 2, 0, 0}, {2, 2, 1, 0}};

TEST(MeshDiscovery, Reads2x2MeshOfAFirstGenerationDevice) {
  SimulatedDriver driver;
  set_2x2_mesh(driver, kD3_00_00_01);
  const auto mesh = discover(driver);
  EXPECT_EQ(mesh->version, IpVersion::v1);
  EXPECT_EQ(idents_of(mesh->nps), k2x2Nps);
  EXPECT_EQ(mesh->nps[0].types, (Types{hw::Type::CNP1, hw::Type::CNP2}));
  EXPECT_EQ(mesh->dma_event, (hw::Ident{1, 1, 0, 0}));
  EXPECT_EQ(mesh->hrc, (np::Info{{0, 0, 0, 0}, {hw::Type::HRC}, false}));
  EXPECT_TRUE(mesh->skip_dmas.empty());
  EXPECT_EQ(mesh_reads(driver), (std::vector<uint32_t>{0x50, 0x54, 0x58}));

  // The last row stops at column 1; on D3 00 00 02 it always runs to the last column.
  set_2x2_mesh(driver, kD3_00_00_01, 1);
  EXPECT_EQ(discover(driver)->nps.size(), 5u);
  set_2x2_mesh(driver, kD3_00_00_02, 1);
  EXPECT_EQ(idents_of(discover(driver)->nps), k2x2Nps);
}

TEST(MeshDiscovery, WalksColumnsWithTheDmaNodeExtraNodeAndFirstColumnRules) {
  // 3 x 3 nodes of 2 NPs, row 1 from column 2, row 2 from column 3, the DMA node without NPs
  // at column 3, row 2 (event id 0, configuration id 1), the extra node at column 1, row 1,
  // the last row up to column 2.
  SimulatedDriver driver;
  driver.set_version(kD3_00_00_01);
  set_words(driver, 0x03020303, 0x10030212, 0x02000101);
  auto mesh = discover(driver);
  EXPECT_EQ(idents_of(mesh->nps), (std::vector<hw::Ident>{{1, 1, 0, 0}, {1, 1, 1, 0}, {1, 3, 0, 0}, {1, 3, 1, 0},
                                                          {2, 1, 0, 0}, {2, 1, 1, 0}, {2, 3, 0, 0}, {2, 3, 1, 0},
                                                          {3, 1, 0, 0}, {3, 1, 1, 0}}));
  EXPECT_EQ(mesh->dma_conf, (hw::Ident{3, 2, 1, 0}));

  // 3 NPs per node, the DMA node (with NPs) at column 1, row 2, where row 2's first column
  // would exclude it; no extra node; an empty last row.
  set_words(driver, 0x03020303, 0x10010203, 0x00000000);
  EXPECT_EQ(idents_of(discover(driver)->nps),
            (std::vector<hw::Ident>{{1, 2, 2, 0}, {2, 1, 0, 0}, {2, 1, 1, 0}, {2, 1, 2, 0}, {3, 1, 0, 0}, {3, 1, 1, 0},
                                    {3, 1, 2, 0}, {3, 2, 0, 0}, {3, 2, 1, 0}, {3, 2, 2, 0}}));
}

TEST(MeshDiscovery, ReadsASecondGenerationDevice) {
  SimulatedDriver driver;
  set_2x2_mesh(driver, kD3_A2_01_00);
  const auto mesh = discover(driver);
  EXPECT_EQ(mesh->version, IpVersion::v2);
  EXPECT_EQ(idents_of(mesh->nps), k2x2Nps);
  EXPECT_EQ(mesh->hrc, (np::Info{{0, 0, 0, 0}, {hw::Type::HRC}, true}));
  const Types skip_dma{hw::Type::SKIP_DMA_STORE, hw::Type::SKIP_DMA_LOAD};
  EXPECT_EQ(mesh->skip_dmas, (std::vector<np::Info>{{{1, 1, 3, 5}, skip_dma, false}, {{2, 1, 3, 5}, skip_dma, false}}));
  EXPECT_EQ(mesh->np_sram_size, (SramSize{65536, 51200}));
  EXPECT_EQ(mesh_reads(driver), (std::vector<uint32_t>{0x50, 0x54, 0x58, 0x68, 0x64, 0x70, 0x74, 0x68}));

  // 0x08000001 * 32 wraps to 0x20; 0x40000001 * 100 = 25 * 2^32 + 100 wraps to 100.
  set_v2_words(driver, 0, 0x40, 0x08000001, 0x40000001);
  EXPECT_EQ(discover(driver)->np_sram_size, (SramSize{2, 6}));
  EXPECT_FALSE(discover(driver)->hrc.has_value());
}

TEST(MeshDiscovery, SecondGenerationDeviceWithoutSramIsRefused) {
  SimulatedDriver driver;
  set_2x2_mesh(driver, kD3_A2_01_00);
  for (const auto& [input, weight] : {std::pair{0u, 8192u}, std::pair{32768u, 0u}}) {
    set_v2_words(driver, 0, 0, input, weight);
    EXPECT_EQ(error_text([&] { discover(driver); }), "The mesh has not SRAM.");
  }
}

TEST(MeshDiscovery, DecodesDescriptorKindsWithTemporalKindsOnSecondGenerationOnly) {
  SimulatedDriver driver;
  set_2x2_mesh(driver, kD3_A2_01_00);
  driver.set_np_descriptor({1, 1, 1, 0}, 0x0730);  // FNP3, TNP_B, TNP_R, LUT
  driver.set_np_descriptor({1, 2, 0, 0}, 0x0060);  // FNP2, CNP1
  driver.set_np_descriptor({1, 2, 1, 0}, 0x00D0);  // kind codes 1 and 3: nothing
  auto mesh = discover(driver);
  EXPECT_EQ(mesh->nps[0], (np::Info{{1, 1, 1, 0}, {hw::Type::FNP3, hw::Type::TNP_B, hw::Type::TNP_R}, true}));
  EXPECT_EQ(mesh->nps[1], (np::Info{{1, 2, 0, 0}, {hw::Type::FNP2, hw::Type::CNP1}, false}));
  EXPECT_EQ(mesh->nps[2], (np::Info{{1, 2, 1, 0}, {}, false}));

  driver.set_version(kD3_00_00_01);
  mesh = discover(driver);
  EXPECT_EQ(mesh->nps[0], (np::Info{{1, 1, 1, 0}, {hw::Type::FNP3}, true}));
}

}  // namespace
}  // namespace ornix
