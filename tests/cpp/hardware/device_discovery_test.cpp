#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "hardware/device_discovery.h"
#include "hardware/mesh.h"
#include "mesh_fixture.h"
#include "ornix/hardware_device.h"
#include "ornix/testing/driver_registry.h"
#include "support/simulated_driver.h"

namespace ornix {
namespace {

using namespace testing_mesh;
using Devices = std::vector<std::shared_ptr<Device>>;

void make_first_generation(SimulatedDriver& driver) {
  driver.set_top_level_reg_base(kTopBase);
  driver.set_version(kD3_00_00_01);
  set_2x2_mesh(driver);
}

// Discovery with standard output captured.
struct Discovery {
  Devices devices;
  std::string output;
};

Discovery discover_devices() {
  ::testing::internal::CaptureStdout();
  Devices devices;
  try {
    devices = populate_devices();
  } catch (...) {
    ::testing::internal::GetCapturedStdout();
    throw;
  }
  return {devices, ::testing::internal::GetCapturedStdout()};
}

std::string agreement_error() {
  try {
    discover_devices();
  } catch (const std::invalid_argument& error) {
    return error.what();
  }
  return "no error";
}

TEST(DeviceDiscovery, NoDriverGivesNoDevice) {
  const Discovery found = discover_devices();
  EXPECT_TRUE(found.devices.empty());
  EXPECT_EQ(found.output, "");
}

TEST(DeviceDiscovery, WrapsEachDriverInAHostDeviceInDriverOrder) {
  SimulatedDriver first("first"), second("second");
  make_first_generation(first);
  set_v2_device(second);
  second.set_top_level_reg_base(kTopBase);
  const DriverAttachment attach_first(&first), attach_second(&second);

  const Discovery found = discover_devices();
  EXPECT_EQ(found.output, "");
  ASSERT_EQ(found.devices.size(), 2u);
  const Device& device = *found.devices[0];
  EXPECT_EQ(device.hardware()->driver(), &first);
  EXPECT_EQ(device.version(), kD3_00_00_01);
  EXPECT_EQ(device.desc(), device.hardware()->desc());
  ASSERT_NE(device.mesh(), nullptr);
  EXPECT_EQ(device.mesh()->version, IpVersion::v1);
  EXPECT_EQ(device.mesh()->nps.size(), 7u);
  EXPECT_EQ(found.devices[1]->hardware()->driver(), &second);
  EXPECT_EQ(found.devices[1]->mesh()->version, IpVersion::v2);
}

TEST(DeviceDiscovery, SkipsDriversThatFailWithTheirTextOnStandardOutput) {
  SimulatedDriver first("first"), broken("broken"), no_sram("no sram"), last("last");
  make_first_generation(first);
  broken.fail_reads("T");
  set_v2_device(no_sram);
  no_sram.set_top_level_reg_base(kTopBase);
  set_v2_words(no_sram, 0, 0, 0, 8192);
  make_first_generation(last);
  const DriverAttachment a(&first), b(&broken), c(&no_sram), d(&last);

  const Discovery found = discover_devices();
  EXPECT_EQ(found.output, "T\nThe mesh has not SRAM.\n");
  ASSERT_EQ(found.devices.size(), 2u);
  EXPECT_EQ(found.devices[0]->hardware()->driver(), &first);
  EXPECT_EQ(found.devices[1]->hardware()->driver(), &last);
}

TEST(DeviceDiscovery, RefusesAVersionWhoseIpGenerationDisagreesWithItsMesh) {
  SimulatedDriver good("good"), unknown("unknown");
  make_first_generation(good);
  make_first_generation(unknown);
  unknown.set_version({0xD3, 0xA3, 0x00, 0x01});  // decodes as a first-generation mesh
  const DriverAttachment a(&good), b(&unknown);
  EXPECT_EQ(agreement_error(),
            "Incompatible hardware and Ip versions: HW Version is 211.163.0.1 with product id = 163 while IP "
            "version is v1.");
}

TEST(DeviceDiscovery, AcceptsProductA1AsFirstGeneration) {
  SimulatedDriver driver("a1");
  make_first_generation(driver);
  driver.set_version({0xD3, 0xA1, 0x01, 0x00});
  const DriverAttachment attach(&driver);
  const Discovery found = discover_devices();
  ASSERT_EQ(found.devices.size(), 1u);
  EXPECT_EQ(found.devices[0]->mesh()->version, IpVersion::v1);
}

TEST(DeviceList, IsBuiltByTheFirstCallThatSucceedsAndNeverAgain) {
  {
    SimulatedDriver unknown("unknown");
    make_first_generation(unknown);
    unknown.set_version({0xD3, 0xA3, 0x00, 0x01});
    const DriverAttachment attach(&unknown);
    EXPECT_THROW(get_devices(), std::invalid_argument);
  }
  // The list keeps its devices until the process exits: so must their drivers.
  static SimulatedDriver first("first"), later("later");
  make_first_generation(first);
  make_first_generation(later);
  const DriverAttachment attach_first(&first);
  const Devices& devices = get_devices();
  ASSERT_EQ(devices.size(), 1u);
  EXPECT_EQ(devices[0]->hardware()->driver(), &first);

  const DriverAttachment attach_later(&later);
  first.clear_log();
  const Devices& again = get_devices();
  EXPECT_EQ(&again, &devices);
  EXPECT_EQ(again.size(), 1u);
  EXPECT_EQ(first.open_count(), 0u);
  EXPECT_TRUE(later.log().empty());
}

}  // namespace
}  // namespace ornix
