#include "support/simulated_soc_driver.h"

#include <utility>

#include "hardware/power_meter.h"
#include "hardware/soc_clock.h"
#include "hardware/soc_clock_registers.h"

namespace ornix {

SimulatedSocDriver::SimulatedSocDriver(std::string desc) : registers_(std::move(desc)) {
  registers_.pend_after_write(soc::kClockChangeAddress, soc::kClockChangePending, 0);
}

soc::ClockMode SimulatedSocDriver::clock_mode() { return soc::get_clock_mode(this); }

void SimulatedSocDriver::set_clock_mode(soc::ClockMode mode) { soc::set_clock_mode(this, mode); }

void SimulatedSocDriver::enable_power_measurement(bool enable) {
  if (!enable) {
    meter_.reset();
  } else if (!meter_) {
    meter_ = std::make_shared<PowerMeter>();
  }
}

}  // namespace ornix
