#pragma once

#include <memory>

#include "ornix/soc/clock_mode.h"

namespace ornix {

class PowerMeter;  // the back end's log of power measurements

// The system-on-chip side of a device's driver: a driver of a SoC device also derives from this
// interface, and callers reach it by cross-casting the device's HardwareDriver. It belongs to
// its device.
class SocDriver {
 public:
  virtual ~SocDriver() = default;

  virtual soc::ClockMode clock_mode() = 0;
  virtual void set_clock_mode(soc::ClockMode mode) = 0;
  // Power measurement is off by default; switching it on makes power_meter() return the meter
  // the driver logs measurements into, switching it off makes it return null.
  virtual void enable_power_measurement(bool enable) = 0;
  virtual std::shared_ptr<PowerMeter> power_meter() = 0;
};

}  // namespace ornix
