#pragma once

#include <cstdint>
#include <stdexcept>

#include "format_text.h"

namespace ornix {

// A field of a 32-bit word: its lowest bit and its width in bits (1 to 31).
struct BitField {
  uint8_t offset;
  uint8_t width;

  constexpr uint32_t mask() const { return (1u << width) - 1; }
};

constexpr uint32_t get_field(uint32_t word, BitField field) { return (word >> field.offset) & field.mask(); }

// Writes `value` into the field; std::invalid_argument when it is wider than the field.
inline void set_field(uint32_t& word, BitField field, uint32_t value) {
  if (value > field.mask()) {
    throw std::invalid_argument(
        format_text("Value %u does not fit the %u-bit field at bit %u", value, unsigned{field.width}, unsigned{field.offset}));
  }
  word = (word & ~(field.mask() << field.offset)) | (value << field.offset);
}

}  // namespace ornix
