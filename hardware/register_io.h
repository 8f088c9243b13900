#pragma once

#include <cstdint>

#include "ornix/hardware_driver.h"

namespace ornix {

// One 32-bit register access through a driver. Driver failures propagate.
inline uint32_t read_register(HardwareDriver& driver, uint32_t address) {
  uint32_t value = 0;
  driver.read(address, &value, sizeof value);
  return value;
}

inline void write_register(HardwareDriver& driver, uint32_t address, uint32_t value) {
  driver.write(address, &value, sizeof value);
}

// A field of a 32-bit register word: its lowest bit and its width in bits (1 to 32).
struct BitField {
  uint8_t offset;
  uint8_t width;
};

constexpr uint32_t field_value(uint32_t word, BitField field) {
  const uint32_t mask = field.width >= 32 ? 0xFFFFFFFFu : (1u << field.width) - 1;
  return (word >> field.offset) & mask;
}

}  // namespace ornix
