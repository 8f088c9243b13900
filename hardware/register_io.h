#pragma once

#include <cstdint>

#include "ornix/hardware_driver.h"

namespace ornix {

// One 32-bit register access through a driver: a little-endian word of 4 bytes. Driver
// failures propagate.
inline uint32_t read_register(HardwareDriver& driver, uint32_t address) {
  uint8_t bytes[4] = {};
  driver.read(address, bytes, sizeof bytes);
  return uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 | uint32_t{bytes[3]} << 24;
}

inline void write_register(HardwareDriver& driver, uint32_t address, uint32_t value) {
  const uint8_t bytes[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                            static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
  driver.write(address, bytes, sizeof bytes);
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
