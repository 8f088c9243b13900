#pragma once

#include "ornix/hardware_driver.h"
#include "ornix/soc/clock_mode.h"

namespace ornix::soc {

// The mode the SoC clock divider gives. std::runtime_error when the frequency is none of the
// modes'; driver failures propagate.
ClockMode get_clock_mode(HardwareDriver* driver);

// Programs the clock divider for `mode` and waits, busy, up to 10 ms for the change to apply.
// std::invalid_argument for a value that is no mode; std::runtime_error when a change is
// already pending (nothing is written) or when the change does not apply in time.
void set_clock_mode(HardwareDriver* driver, const ClockMode& mode);

}  // namespace ornix::soc
