#pragma once

#include <cstdint>

#include "ornix/hardware_driver.h"

namespace ornix {

// One 32-bit register through a driver, as a little-endian word. Driver failures propagate.
uint32_t read_register(HardwareDriver& driver, uint32_t address);
void write_register(HardwareDriver& driver, uint32_t address, uint32_t value);

}  // namespace ornix
