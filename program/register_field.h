#pragma once

#include <cstdint>

#include "ornix/panic.h"
#include "program/messages.h"

namespace ornix {

// One named field of a 32-bit register or packed word. Formatters keep these as constants
// (one per field, lowest bit first) and write every field through set_field.
struct RegDetail {
  uint32_t offset;  // bit position of the field's lowest bit, 0 to 31
  uint32_t width;   // bits, 0 to 32; offset + width stays within the word
};

// Writes `value` into `field` of *word, keeping every other bit. A value wider than the field
// panics "Attempted to write value V into a W-bit field, which will cause an overflow." and
// leaves *word unchanged. A 0-bit field takes only 0 and changes nothing.
void set_field(uint32_t* word, const RegDetail& field, uint32_t value);

// The N-bit two's-complement code of `value`, in the low N bits (higher bits zero). A value
// outside -2^(N-1) .. 2^(N-1) - 1 panics "V cannot fit in a N bits signed integer.".
template <int N>
  requires(N >= 1 && N <= 31)
uint32_t int32_to_intN(int32_t value) {
  constexpr int32_t lowest = -(int32_t{1} << (N - 1));
  constexpr int32_t highest = (int32_t{1} << (N - 1)) - 1;
  if (value < lowest || value > highest) panic(program::kMsgSignedRangeFormat, value, N);
  return static_cast<uint32_t>(value) & ((uint32_t{1} << N) - 1);
}

}  // namespace ornix
