#pragma once

#include <cstdint>

#include "ornix/hardware_driver.h"

namespace ornix {

// One 32-bit register access through a driver: a little-endian word of 4 bytes. Driver
// failures propagate.
uint32_t read_register(HardwareDriver& driver, uint32_t address);
void write_register(HardwareDriver& driver, uint32_t address, uint32_t value);

}  // namespace ornix
