#pragma once

// The one place CNP weight packers write bits: a zero-filled vector of transfer words with a
// byte writer for the three-word form and a bit cursor for the four-word form.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "backend/v2/cnp_weight_layout.h"

namespace ornix::v2 {

// A write past the last word throws std::out_of_range.
class CnpWeightStream {
 public:
  // `words` zero transfer words. The cursor uses bits 0 .. half_bits - 1 of each 50-bit half
  // (48 or 50) and starts at bit 0 of word 0.
  explicit CnpWeightStream(size_t words, uint32_t half_bits = kCnpHalfBits);

  // Three-word form: byte `offset` of the stream, byte 0 being bits 0-7 of word 0.
  void put_byte(size_t offset, uint8_t value);

  // Four-word form. Half h is transfer words 2h (half bits 0-31) and 2h + 1 (half bits 32-49 in
  // its bits 0-17); halves 2w and 2w + 1 are bits 0-49 and 50-99 of 100-bit word w.
  // Moves the cursor to bit `bit` of the half that starts at transfer word `word` (even).
  void seek(size_t word, uint32_t bit = 0);
  // Writes the low `width` bits of `value`, bit 0 first, at the cursor; the cursor moves on and
  // opens the next half whenever it reaches half_bits.
  void put(uint32_t value, uint32_t width);
  void next_half();
  // To bit 0 of the next 100-bit word.
  void next_word();
  uint32_t bit() const { return bit_; }  // cursor position inside its half

  // The words written; the stream is left empty.
  std::vector<uint32_t> take() && { return std::move(words_); }

 private:
  std::vector<uint32_t> words_;
  uint32_t half_bits_;
  size_t half_ = 0;
  uint32_t bit_ = 0;
};

}  // namespace ornix::v2
