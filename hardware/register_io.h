#pragma once

// Register words and their fields, as the hardware services read them through a driver.

#include <cstdint>

#include "ornix/register_access.h"

namespace ornix {

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
