#include "program/register_field.h"

#include "hardware/messages.h"

namespace ornix {

void set_field(uint32_t* word, const RegDetail& field, uint32_t value) {
  // Widths of 32 or more give a full mask; the mask is built in 64 bits so that 32 does not shift out.
  const auto mask = static_cast<uint32_t>((uint64_t{1} << (field.width % 64)) - 1);
  if (value > mask) panic(kMsgFieldOverflowFormat, value, field.width);
  const uint32_t shift = field.offset % 32;
  *word = (*word & ~(mask << shift)) | ((value & mask) << shift);
}

}  // namespace ornix
