#pragma once

#include <memory>

#include "hardware/power_meter.h"
#include "ornix/hardware_device.h"
#include "ornix/soc_driver.h"

namespace ornix::python {

// The power meter of a device whose driver is a SoC driver with power measurement on; null
// otherwise.
inline std::shared_ptr<PowerMeter> soc_power_meter(const HardwareDevice& device) {
  auto* soc = dynamic_cast<SocDriver*>(device.driver());
  return soc ? soc->power_meter() : nullptr;
}

}  // namespace ornix::python
