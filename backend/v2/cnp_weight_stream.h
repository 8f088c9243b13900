#pragma once

// The one place the byte-wise CNP weight packers reach their words: zero-filled transfer words
// (borrowed) seen as bytes, a range at a time, each range checked once before it is written.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>

#include "backend/v2/weight_format_messages.h"

namespace ornix::v2 {

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
