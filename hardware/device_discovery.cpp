#include "hardware/device_discovery.h"

#include <iostream>
#include <stdexcept>

#include "hardware/host_device.h"
#include "hardware/hrc_probe.h"
#include "hardware/known_versions.h"
#include "hardware/ip_version_text.h"
#include "hardware/mesh.h"
#include "hardware/messages.h"
#include "ornix/hardware_driver.h"

namespace ornix {

namespace {

void check_ip_agreement(const HwVersion& version, const Mesh& mesh) {
  if (version.get_ip_version() == mesh.version) return;
  throw std::invalid_argument(
      incompatible_versions_message(version.to_string(), version.product_id, to_string(mesh.version)));
}

std::shared_ptr<HostDevice> open_host_device(HardwareDriver* driver) {
  std::shared_ptr<HardwareDevice> hardware = HardwareDevice::create(driver);
  std::unique_ptr<Mesh> mesh = Mesh::discover(hardware.get());
  auto device = std::make_shared<HostDevice>(std::move(hardware), std::move(mesh));
  check_ip_agreement(device->version(), *device->mesh());
  return device;
}

}  // namespace

std::vector<std::shared_ptr<Device>> populate_devices() {
  std::vector<std::shared_ptr<Device>> devices;
  for (HardwareDriver* driver : get_drivers()) {
    try {
      std::shared_ptr<HostDevice> device = open_host_device(driver);
      // The probe's model shares the device; it is gone before the device is opened again.
      if (device->version() == kVamoV2 && hrc_check_timeout(device)) device = open_host_device(driver);
      devices.push_back(std::move(device));
    } catch (const std::runtime_error& error) {
      std::cout << error.what() << '\n' << std::flush;
    }
  }
  return devices;
}

const std::vector<std::shared_ptr<Device>>& get_devices() {
  static const std::vector<std::shared_ptr<Device>> devices = populate_devices();
  return devices;
}

}  // namespace ornix
