#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/error_text.h"
#include "hardware/device_discovery.h"
#include "hardware/mesh.h"
#include "mesh_fixture.h"
#include "ornix/hardware_device.h"
#include "ornix/testing/driver_registry.h"

namespace ornix {
namespace {

using namespace testing_mesh;
using Devices = std::vector<std::shared_ptr<Device>>;

// Discovery with standard output captured.
Devices discover_devices(std::string* output) {
  ::testing::internal::CaptureStdout();
  try {
    Devices devices = populate_devices();
    *output = ::testing::internal::GetCapturedStdout();
    return devices;
  } catch (...) {
    *output = ::testing::internal::GetCapturedStdout();
    throw;
  }
}

TEST(DeviceDiscovery, SkipsDriversThatFailWithTheirTextOnStandardOutput) {
  std::string output;
  EXPECT_TRUE(discover_devices(&output).empty());
  EXPECT_EQ(output, "");

  SimulatedDriver first, broken, no_sram, last;
  set_2x2_mesh(first, kD3_00_00_01);
  broken.fail_reads("T");
  set_2x2_mesh(no_sram, kD3_A2_01_00);
  set_v2_words(no_sram, 0, 0, 0, 8192);
  set_2x2_mesh(last, kD3_A2_01_00);
  const DriverAttachment a(&first), b(&broken), c(&no_sram), d(&last);
  const Devices devices = discover_devices(&output);
  EXPECT_EQ(output, "T\nThe mesh has not SRAM.\n");
  ASSERT_EQ(devices.size(), 2u);
  EXPECT_EQ(devices[0]->hardware()->driver(), &first);
  EXPECT_EQ(devices[0]->version(), kD3_00_00_01);
  EXPECT_EQ(devices[0]->mesh()->nps.size(), 7u);
  EXPECT_EQ(devices[1]->hardware()->driver(), &last);
  EXPECT_EQ(devices[1]->mesh()->version, IpVersion::v2);
}

TEST(DeviceDiscovery, RefusesAVersionWhoseIpGenerationDisagreesWithItsMesh) {
  SimulatedDriver good, unknown;
  set_2x2_mesh(good, kD3_00_00_01);
  set_2x2_mesh(unknown, kD3_A3_00_01);  // decodes as a first-generation mesh
  const DriverAttachment a(&good), b(&unknown);
  std::string output;
  EXPECT_EQ(error_text([&] { discover_devices(&output); }),
            "Incompatible hardware and Ip versions: HW Version is 211.163.0.1 with product id = 163 while IP "
            "version is v1.");
  EXPECT_THROW(discover_devices(&output), std::invalid_argument);
  EXPECT_EQ(output, "");
}

TEST(DeviceList, IsBuiltByTheFirstCallThatSucceedsAndNeverAgain) {
  {
    SimulatedDriver unknown;
    set_2x2_mesh(unknown, kD3_A3_00_01);
    const DriverAttachment attach(&unknown);
    EXPECT_THROW(get_devices(), std::invalid_argument);
  }
  // The list keeps its devices until the process exits: so must their drivers.
  static SimulatedDriver first, later;
  set_2x2_mesh(first, kD3_00_00_01);
  set_2x2_mesh(later, kD3_00_00_01);
  const DriverAttachment attach_first(&first);
  const Devices& devices = get_devices();
  ASSERT_EQ(devices.size(), 1u);
  EXPECT_EQ(devices[0]->hardware()->driver(), &first);

  const DriverAttachment attach_later(&later);
  first.clear_log();
  EXPECT_EQ(&get_devices(), &devices);
  EXPECT_EQ(devices.size(), 1u);
  EXPECT_TRUE(first.log().empty());
  EXPECT_TRUE(later.log().empty());
}

}  // namespace
}  // namespace ornix
