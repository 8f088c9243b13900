#include "backend/v2/fnp_input_slots.h"

#include <stdexcept>

#include "backend/v2/fnp_limits.h"
#include "backend/v2/fnp_messages.h"
#include "backend/v2/fnp_recording_messages.h"

namespace ornix::v2 {
namespace {

uint64_t round_up(uint64_t value, uint64_t multiple) { return (value + multiple - 1) / multiple * multiple; }

// Slots of one line and of one row (including their padding); 64 bits, so that no padding
// count wraps.
struct RowGeometry {
  uint64_t line_slots;
  uint64_t row_slots;
};

RowGeometry row_geometry(uint64_t x, uint64_t c, InputPadding padding, uint8_t input_bits) {
  if (padding == InputPadding::ChannelRowAligned) {
    if (input_bits != kFnp8Bits) throw std::runtime_error(kMsgFnpWrongInputBits);
    const uint32_t line = round_up(x, kFnpWordBytes);
    return {line, line * c};
  }
  if (input_bits == 0 || kFnpByteBits % input_bits != 0) throw std::runtime_error(kMsgFnpPaddingUndefined);
  const uint32_t line = round_up(x, kFnpByteBits / input_bits);
  return {line, round_up(line * c, kFnpWordBits / input_bits)};
}

}  // namespace

std::vector<uint32_t> fnp_input_slots(const Shape& shape, InputPadding padding, uint8_t input_bits) {
  const uint32_t x_count = shape[0];
  const uint32_t y_count = shape[1];
  const uint32_t c_count = shape[2];
  std::vector<uint32_t> slots;
  if (padding == InputPadding::Packed) {
    slots.reserve(c_count);
    for (uint32_t k = 0; k < c_count; ++k) slots.push_back(k);
    return slots;
  }
  if (padding != InputPadding::RowAligned && padding != InputPadding::ChannelRowAligned) {
    throw std::runtime_error(kMsgUnsupportedPadding);
  }
  const RowGeometry row = row_geometry(x_count, c_count, padding, input_bits);
  shape.checked_element_count();  // every flat index below fits 32 bits
  slots.reserve(row.row_slots * y_count);
  for (uint32_t y = 0; y < y_count; ++y) {
    for (uint32_t c = 0; c < c_count; ++c) {
      for (uint32_t x = 0; x < x_count; ++x) slots.push_back((x * y_count + y) * c_count + c);
      slots.insert(slots.end(), row.line_slots - x_count, kFnpPaddingSlot);
    }
    slots.insert(slots.end(), row.row_slots - row.line_slots * c_count, kFnpPaddingSlot);
  }
  return slots;
}

}  // namespace ornix::v2
