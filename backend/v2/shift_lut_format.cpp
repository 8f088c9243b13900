#include "backend/v2/shift_lut_format.h"

#include <algorithm>
#include <cstdlib>
#include <stdexcept>

#include "backend/v2/lut_words.h"
#include "backend/v2/register_format_limits.h"
#include "backend/v2/register_format_messages.h"
#include "ornix/panic.h"
#include "program/register_field.h"

namespace ornix::v2 {
namespace {

constexpr uint32_t kBitsPerByte = 8;

uint32_t ceil_div(uint64_t value, uint32_t divisor) { return static_cast<uint32_t>((value + divisor - 1) / divisor); }

// Byte k of a little-endian byte payload; the word's other bytes are kept.
void put_byte(std::vector<uint32_t>& words, uint32_t k, uint8_t byte) {
  set_field(&words[k / kBytesPerWord], {kBitsPerByte * (k % kBytesPerWord), kBitsPerByte}, byte);
}

// The element at coordinate (i) of a tensor, through the stride of dimension 0.
// Indices and offsets in 64 bits: a channel past the element count is refused before the
// multiplication, which then stays below 2^64.
template <typename T>
T element_at(const Dense& tensor, uint64_t i) {
  const T* values = tensor.data<T>();
  const uint64_t stride = tensor.strides().empty() ? 1 : tensor.strides()[0];
  if (i >= tensor.size() || i * stride >= tensor.size()) panic("%s", kMsgCoordinatesOutOfRange);
  return values[i * stride];
}

// The int32 values of a lookup table of `entries` entries of `values_per_entry` values each,
// after its size check (values past the last whole entry are not used).
const int32_t* lut_values(const Dense* lut, std::size_t entries, std::size_t values_per_entry) {
  if (lut == nullptr) throw std::invalid_argument(kMsgMissingLut);
  if (lut->size() / values_per_entry != entries) throw std::runtime_error(kMsgWrongLutSize);
  return lut->data<int32_t>();
}

uint32_t lut_code(int32_t value) { return int32_to_intN<kLutCodeBits>(value); }

}  // namespace

uint32_t cnp_tnp_input_shift_24b_size(const Dense& input_shift) {
  return ceil_div(input_shift.size(), kInputShiftsPerEntry);
}

std::vector<uint32_t> format_input_shift(const Dense& shift, uint32_t start, uint32_t count) {
  // Byte k = shift[start + k]; 8 bytes (2 words) per entry of eight shifts, unused bytes 0.
  const uint8_t* values = shift.data<uint8_t>();
  const uint32_t n = count != 0 ? count : static_cast<uint32_t>(shift.size());
  if (uint64_t{start} + n > shift.size()) {
    throw std::invalid_argument(input_shift_out_of_range_message(shift.size(), start, n));
  }
  std::vector<uint32_t> words(std::size_t{ceil_div(n, kInputShiftsPerEntry)} * kPayloadWordsPerInputShiftEntry, 0);
  for (uint32_t k = 0; k < n; ++k) put_byte(words, k, values[start + k]);
  return words;
}

std::vector<uint32_t> format_input_shift(const Dense& shift) { return format_input_shift(shift, 0, 0); }

std::vector<uint32_t> format_merge_layer_shift(const std::shared_ptr<const Dense>& a,
                                               const std::shared_ptr<const Dense>& b,
                                               const std::shared_ptr<const Dense>& c, uint32_t start, uint32_t count) {
  // Byte k, channel start + k: [7] X <= Y | [6:4] code3(max(X, Y) + Z) | [3:0] |X - Y| (mod 256).
  if (!a || !b || !c) throw std::invalid_argument(kMsgMissingMergeShift);
  std::vector<uint32_t> words(ceil_div(count, kBytesPerWord), 0);
  for (uint32_t k = 0; k < count; ++k) {
    const uint64_t i = uint64_t{start} + k;
    const int32_t x = element_at<uint8_t>(*a, i);
    const int32_t y = element_at<uint8_t>(*b, i);
    const int32_t z = element_at<int8_t>(*c, i);
    const uint32_t sum_code = int32_to_intN<kMergeShiftBits>(std::max(x, y) + z);
    const uint32_t byte = static_cast<uint32_t>(std::abs(x - y)) + (x <= y ? 128 : 0) + 16 * sum_code;
    put_byte(words, k, static_cast<uint8_t>(byte));
  }
  return words;
}

std::vector<uint32_t> format_lut_values_for_cnp(const Dense* lut) {
  // Word j: [29:16] code of value 2j + 1 | [13:0] code of value 2j; bits 14-15 and 30-31 zero.
  const int32_t* values = lut_values(lut, kCnpLutWords, 2);
  std::vector<uint32_t> words(kCnpLutWords, 0);
  for (uint32_t j = 0; j < kCnpLutWords; ++j) {
    set_field(&words[j], CNP_LUT_EVEN, lut_code(values[2 * j]));
    set_field(&words[j], CNP_LUT_ODD, lut_code(values[2 * j + 1]));
  }
  return words;
}

std::vector<uint32_t> format_lut_values_for_hrc(const Dense* lut) {
  // Word i: [13:0] code of value i; other bits zero.
  const int32_t* values = lut_values(lut, kHrcLutWords, 1);
  std::vector<uint32_t> words(kHrcLutWords, 0);
  for (uint32_t i = 0; i < kHrcLutWords; ++i) set_field(&words[i], HRC_LUT_VALUE, lut_code(values[i]));
  return words;
}

}  // namespace ornix::v2
