#pragma once

// The one place the byte-wise CNP weight packers reach their words: zero-filled transfer words
// (borrowed) seen as bytes, a range at a time, each range checked once before it is written.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>

#include "backend/v2/cnp_weight_layout.h"
#include "backend/v2/weight_format_messages.h"

namespace ornix::v2 {

// Writes one 100-bit CNP word, bits 0-63 in `low` and 64-99 in `high` (higher bits ignored), as
// its four transfer words: half A (bits 0-49), then half B (bits 50-99), each as the word of its
// bits 0-31 and the word of its bits 32-49.
inline void put_hundred_bit_word(uint64_t low, uint64_t high, uint32_t* words) {
  constexpr uint64_t kHalfMask = (uint64_t{1} << kCnpHalfBits) - 1;
  const uint64_t half_a = low & kHalfMask;
  const uint64_t half_b = (low >> kCnpHalfBits | high << (2 * kTransferWordBits - kCnpHalfBits)) & kHalfMask;
  words[0] = static_cast<uint32_t>(half_a);
  words[1] = static_cast<uint32_t>(half_a >> kTransferWordBits);
  words[2] = static_cast<uint32_t>(half_b);
  words[3] = static_cast<uint32_t>(half_b >> kTransferWordBits);
}

class CnpWeightStream {
 public:
  // Writes into `words` (zero-filled, borrowed).
  explicit CnpWeightStream(std::span<uint32_t> words) : words_(words) {}

  // Bytes `offset` .. offset + count - 1 of the stream, byte 0 being bits 0-7 of word 0, to
  // write directly. std::out_of_range past the last word.
  uint8_t* bytes(size_t offset, size_t count) {
    static_assert(std::endian::native == std::endian::little, "stream bytes are the words' little-endian bytes");
    if (offset + count > words_.size() * sizeof(uint32_t)) throw std::out_of_range(kMsgWeightStreamEnd);
    return reinterpret_cast<uint8_t*>(words_.data()) + offset;
  }

 private:
  std::span<uint32_t> words_;
};

}  // namespace ornix::v2
