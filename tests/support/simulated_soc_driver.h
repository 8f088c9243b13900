#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "ornix/hardware_driver.h"
#include "ornix/soc_driver.h"
#include "support/simulated_driver.h"

namespace ornix {

// A SoC device's driver for tests: the simulated register map of SimulatedDriver, the clock mode
// kept in the SoC clock registers (a requested change completes on the next read), and a power
// meter of its own made when measurement is switched on.
class SimulatedSocDriver final : public HardwareDriver, public SocDriver {
 public:
  explicit SimulatedSocDriver(std::string desc = "simulated SoC driver");

  void read(uint32_t address, void* buffer, size_t length) override { registers_.read(address, buffer, length); }
  void write(uint32_t address, const void* buffer, size_t length) override {
    registers_.write(address, buffer, length);
  }
  uint32_t top_level_reg_base() const override { return registers_.top_level_reg_base(); }
  std::string desc() const override { return registers_.desc(); }

  soc::ClockMode clock_mode() override;
  void set_clock_mode(soc::ClockMode mode) override;
  void enable_power_measurement(bool enable) override;
  std::shared_ptr<PowerMeter> power_meter() override { return meter_; }

  SimulatedDriver& registers() { return registers_; }

 private:
  SimulatedDriver registers_;
  std::shared_ptr<PowerMeter> meter_;
};

}  // namespace ornix
