#include "ornix/register_access.h"

#include <array>

namespace ornix {

uint32_t read_register(HardwareDriver& driver, uint32_t address) {
  std::array<uint8_t, 4> bytes{};
  driver.read(address, bytes.data(), bytes.size());
  return uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 | uint32_t{bytes[3]} << 24;
}

void write_register(HardwareDriver& driver, uint32_t address, uint32_t value) {
  const std::array<uint8_t, 4> bytes{static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                                     static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
  driver.write(address, bytes.data(), bytes.size());
}

}  // namespace ornix
