#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "hardware/mesh.h"
#include "mesh_fixture.h"
#include "ornix/hardware_device.h"
#include "support/simulated_driver.h"

namespace ornix {
namespace {

using namespace testing_mesh;
using Types = std::set<hw::Type>;

std::unique_ptr<Mesh> discover(SimulatedDriver& driver) {
  const std::shared_ptr<HardwareDevice> device = HardwareDevice::create(&driver);
  return Mesh::discover(device.get());
}

std::vector<hw::Ident> idents_of(const std::vector<np::Info>& infos) {
  std::vector<hw::Ident> idents;
  for (const np::Info& info : infos) idents.push_back(info.ident);
  return idents;
}

// Offsets from the top register block base of the mesh registers read, in order.
std::vector<uint32_t> mesh_reads(const SimulatedDriver& driver) {
  std::vector<uint32_t> offsets;
  for (const auto& access : driver.log()) {
    if (access.kind == SimulatedDriver::AccessKind::Read && access.address >= kTopBase &&
        access.address < kTopBase + 0x100) {
      offsets.push_back(access.address - kTopBase);
    }
  }
  return offsets;
}

std::string discovery_error(SimulatedDriver& driver) {
  try {
    discover(driver);
  } catch (const std::runtime_error& error) {
    return error.what();
  }
  return "no error";
}

const std::vector<hw::Ident> k2x2Nps = {{1, 1, 1, 0}, {1, 2, 0, 0}, {1, 2, 1, 0}, {2, 1, 0, 0},
                                        {2, 1, 1, 0}, {2, 2, 0, 0}, {2, 2, 1, 0}};

TEST(MeshDiscovery, Reads2x2MeshOfAFirstGenerationDevice) {
  SimulatedDriver driver("d", kTopBase);
  driver.set_version(kD3_00_00_01);
  set_2x2_mesh(driver);
  const auto mesh = discover(driver);

  EXPECT_EQ(mesh->version, IpVersion::v1);
  EXPECT_EQ(idents_of(mesh->nps), k2x2Nps);
  for (const np::Info& np : mesh->nps) {
    EXPECT_EQ(np.types, (Types{hw::Type::CNP1, hw::Type::CNP2}));
    EXPECT_FALSE(np.has_lut);
  }
  EXPECT_EQ(mesh->dma_event, (hw::Ident{1, 1, 0, 0}));
  EXPECT_EQ(mesh->dma_conf, (hw::Ident{1, 1, 0, 0}));
  EXPECT_EQ(mesh->hrc, (np::Info{{0, 0, 0, 0}, {hw::Type::HRC}, false}));
  EXPECT_TRUE(mesh->skip_dmas.empty());
  EXPECT_EQ(mesh->np_sram_size, (SramSize{43008, 44800}));
  EXPECT_EQ(mesh_reads(driver), (std::vector<uint32_t>{0x50, 0x54, 0x58}));
}

TEST(MeshDiscovery, LastRowLastColumnComesFromTheRegisterExceptOnD3_00_00_02) {
  SimulatedDriver first("d", kTopBase);
  first.set_version(kD3_00_00_01);
  set_2x2_mesh(first, 1);
  EXPECT_EQ(idents_of(discover(first)->nps),
            (std::vector<hw::Ident>{{1, 1, 1, 0}, {1, 2, 0, 0}, {1, 2, 1, 0}, {2, 1, 0, 0}, {2, 1, 1, 0}}));

  // This revision runs its last row to the last column whatever 0x58 says.
  SimulatedDriver second("d", kTopBase);
  second.set_version(kD3_00_00_02);
  set_2x2_mesh(second, 1);
  const auto mesh = discover(second);
  EXPECT_EQ(idents_of(mesh->nps), k2x2Nps);
  EXPECT_EQ(mesh->version, IpVersion::v1);
}

TEST(MeshDiscovery, WalksColumnsWithTheDmaNodeExtraNodeAndFirstColumnRules) {
  // 3 x 3 nodes, row 1 from column 2, row 2 from column 3, 2 NPs per node; the DMA node at
  // column 3, row 2, marked without NPs (event id 0, configuration id 1); the extra node at
  // column 1, row 1; the last row up to column 2.
  SimulatedDriver driver("d", kTopBase);
  driver.set_version(kD3_00_00_01);
  set_mesh_words(driver, 0x03020303, 0x10030212, 0x02000101);
  const auto mesh = discover(driver);
  EXPECT_EQ(idents_of(mesh->nps), (std::vector<hw::Ident>{{1, 1, 0, 0}, {1, 1, 1, 0}, {1, 3, 0, 0}, {1, 3, 1, 0},
                                                          {2, 1, 0, 0}, {2, 1, 1, 0}, {2, 3, 0, 0}, {2, 3, 1, 0},
                                                          {3, 1, 0, 0}, {3, 1, 1, 0}}));
  EXPECT_EQ(mesh->dma_event, (hw::Ident{3, 2, 0, 0}));
  EXPECT_EQ(mesh->dma_conf, (hw::Ident{3, 2, 1, 0}));

  // Same geometry, 3 NPs per node, the DMA node (with NPs) at column 1, row 2 where row 2's
  // first column would exclude it, no extra node, an empty last row.
  SimulatedDriver other("d", kTopBase);
  other.set_version(kD3_00_00_01);
  set_mesh_words(other, 0x03020303, 0x10010203, 0x00000000);
  EXPECT_EQ(idents_of(discover(other)->nps),
            (std::vector<hw::Ident>{{1, 2, 2, 0}, {2, 1, 0, 0}, {2, 1, 1, 0}, {2, 1, 2, 0}, {3, 1, 0, 0}, {3, 1, 1, 0},
                                    {3, 1, 2, 0}, {3, 2, 0, 0}, {3, 2, 1, 0}, {3, 2, 2, 0}}));
}

TEST(MeshDiscovery, ReadsASecondGenerationDevice) {
  SimulatedDriver driver("d", kTopBase);
  set_v2_device(driver);
  const auto mesh = discover(driver);

  EXPECT_EQ(mesh->version, IpVersion::v2);
  EXPECT_EQ(idents_of(mesh->nps), k2x2Nps);
  EXPECT_EQ(mesh->hrc, (np::Info{{0, 0, 0, 0}, {hw::Type::HRC}, true}));
  const Types skip_dma_types{hw::Type::SKIP_DMA_STORE, hw::Type::SKIP_DMA_LOAD};
  EXPECT_EQ(mesh->skip_dmas, (std::vector<np::Info>{{{1, 1, 3, 5}, skip_dma_types, false},
                                                    {{2, 1, 3, 5}, skip_dma_types, false}}));
  EXPECT_EQ(mesh->np_sram_size, (SramSize{65536, 51200}));
  EXPECT_EQ(mesh_reads(driver), (std::vector<uint32_t>{0x50, 0x54, 0x58, 0x68, 0x64, 0x70, 0x74, 0x68}));

  // No HRC; engines in columns 3 and 15 with 2 channels.
  set_v2_words(driver, 0x02008008, 0x00000040, 32768, 8192);
  const auto other = discover(driver);
  EXPECT_FALSE(other->hrc.has_value());
  EXPECT_EQ(idents_of(other->skip_dmas), (std::vector<hw::Ident>{{3, 1, 3, 2}, {15, 1, 3, 2}}));
}

TEST(MeshDiscovery, SecondGenerationSramSizesWrapBeforeTheDivision) {
  SimulatedDriver driver("d", kTopBase);
  set_v2_device(driver);
  // 0x08000001 * 32 = 0x1'00000020 -> 0x20; 0x40000001 * 100 = 25 * 2^32 + 100 -> 100.
  set_v2_words(driver, 0, 0, 0x08000001, 0x40000001);
  EXPECT_EQ(discover(driver)->np_sram_size, (SramSize{2, 6}));
}

TEST(MeshDiscovery, SecondGenerationDeviceWithoutSramIsRefused) {
  SimulatedDriver driver("d", kTopBase);
  set_v2_device(driver);
  set_v2_words(driver, 0, 0, 0, 8192);
  EXPECT_EQ(discovery_error(driver), "The mesh has not SRAM.");
  set_v2_words(driver, 0, 0, 32768, 0);
  EXPECT_EQ(discovery_error(driver), "The mesh has not SRAM.");
}

TEST(MeshDiscovery, DecodesDescriptorKindsWithTemporalKindsOnSecondGenerationOnly) {
  // One node of 4 NPs, no DMA node or extra node on the mesh.
  const auto set_node = [](SimulatedDriver& driver) {
    set_mesh_words(driver, 0x00000101, 0x00000004, 0x01000000);
    driver.set_np_descriptor({1, 1, 0, 0}, 0x0730);  // FNP3, TNP_B, TNP_R, LUT
    driver.set_np_descriptor({1, 1, 1, 0}, 0x0060);  // FNP2, CNP1
    driver.set_np_descriptor({1, 1, 2, 0}, 0x00D0);  // kind codes 1 and 3: nothing
    driver.set_np_descriptor({1, 1, 3, 0}, 0x0080);  // CNP1 and CNP2
  };
  SimulatedDriver v2("d", kTopBase);
  v2.set_version(kD3_A2_01_00);
  set_v2_words(v2, 0, 0, 1, 1);
  set_node(v2);
  const auto v2_mesh = discover(v2);
  ASSERT_EQ(v2_mesh->nps.size(), 4u);
  EXPECT_EQ(v2_mesh->nps[0], (np::Info{{1, 1, 0, 0}, {hw::Type::FNP3, hw::Type::TNP_B, hw::Type::TNP_R}, true}));
  EXPECT_EQ(v2_mesh->nps[1], (np::Info{{1, 1, 1, 0}, {hw::Type::FNP2, hw::Type::CNP1}, false}));
  EXPECT_EQ(v2_mesh->nps[2], (np::Info{{1, 1, 2, 0}, {}, false}));
  EXPECT_EQ(v2_mesh->nps[3], (np::Info{{1, 1, 3, 0}, {hw::Type::CNP1, hw::Type::CNP2}, false}));

  SimulatedDriver v1("d", kTopBase);
  v1.set_version(kD3_00_00_01);
  set_node(v1);
  const auto v1_mesh = discover(v1);
  ASSERT_EQ(v1_mesh->nps.size(), 4u);
  EXPECT_EQ(v1_mesh->nps[0], (np::Info{{1, 1, 0, 0}, {hw::Type::FNP3}, true}));
  EXPECT_EQ(v1_mesh->nps[1].types, (Types{hw::Type::FNP2, hw::Type::CNP1}));
}

TEST(MeshDiscovery, ReadFailuresPropagate) {
  SimulatedDriver driver("d", kTopBase);
  driver.set_version(kD3_00_00_01);
  set_2x2_mesh(driver);
  const std::shared_ptr<HardwareDevice> device = HardwareDevice::create(&driver);
  driver.fail_reads("bus error", kTopBase + 0x54);
  try {
    Mesh::discover(device.get());
    ADD_FAILURE() << "no error";
  } catch (const std::runtime_error& error) {
    EXPECT_STREQ(error.what(), "bus error");
  }
}

}  // namespace
}  // namespace ornix
