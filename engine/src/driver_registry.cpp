// The engine's driver list: empty unless tests attach drivers (ornix/testing/driver_registry.h).
#include "ornix/testing/driver_registry.h"

#include <algorithm>
#include <mutex>
#include <stdexcept>
#include <vector>

#include "device_messages.h"
#include "ornix/hardware_driver.h"

namespace ornix {
namespace {

struct DriverList {
  std::mutex mutex;
  std::vector<HardwareDriver*> drivers;  // in attachment order
};

DriverList& driver_list() {
  static DriverList list;
  return list;
}

}  // namespace

std::vector<HardwareDriver*> get_drivers() {
  DriverList& list = driver_list();
  const std::lock_guard lock(list.mutex);
  return list.drivers;
}

DriverAttachment::DriverAttachment(HardwareDriver* driver) : driver_(driver) {
  if (driver == nullptr) throw std::invalid_argument(DeviceMessages::kNullAttachment);
  DriverList& list = driver_list();
  const std::lock_guard lock(list.mutex);
  if (std::ranges::find(list.drivers, driver) != list.drivers.end()) {
    throw std::invalid_argument(DeviceMessages::kAlreadyAttached);
  }
  list.drivers.push_back(driver);
}

DriverAttachment::~DriverAttachment() {
  DriverList& list = driver_list();
  const std::lock_guard lock(list.mutex);
  std::erase(list.drivers, driver_);
}

}  // namespace ornix
