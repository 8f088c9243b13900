#pragma once

// The one place CNP weight packers write bits: zero-filled transfer words (borrowed) with a
// byte window for the three-word form and a bit cursor for the four-word form. The cursor
// gathers the bits of its half in a 64-bit accumulator and writes the half's two words when it
// leaves the half, so packing costs a few operations per value, not per bit.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>

#include "backend/v2/cnp_weight_layout.h"
#include "backend/v2/weight_format_messages.h"

namespace ornix::v2 {

// A write past the last word throws std::out_of_range, at the latest when the stream finishes.
class CnpWeightStream {
 public:
  // Writes into `words` (zero-filled, borrowed). The cursor uses bits 0 .. half_bits - 1 of
  // each 50-bit half (48 or 50) and starts at bit 0 of word 0.
  explicit CnpWeightStream(std::span<uint32_t> words, uint32_t half_bits = kCnpHalfBits)
      : words_(words), half_bits_(half_bits) {}

  // Three-word form: bytes `offset` .. offset + count - 1 of the stream, byte 0 being bits 0-7
  // of word 0, to write directly. The range is checked here, once.
  uint8_t* bytes(size_t offset, size_t count) {
    static_assert(std::endian::native == std::endian::little, "stream bytes are the words' little-endian bytes");
    if (offset + count > words_.size() * sizeof(uint32_t)) throw std::out_of_range(kMsgWeightStreamEnd);
    return reinterpret_cast<uint8_t*>(words_.data()) + offset;
  }

  // Four-word form. Half h is transfer words 2h (half bits 0-31) and 2h + 1 (half bits 32-49 in
  // its bits 0-17); halves 2w and 2w + 1 are bits 0-49 and 50-99 of 100-bit word w.
  // Moves the cursor to bit `bit` (below half_bits) of the half that starts at transfer word
  // `word` (even).
  void seek(size_t word, uint32_t bit = 0) {
    const size_t half = word / kWordsPerHalf;
    if (half == half_ && bit == bit_) return;
    flush();
    half_ = half;
    bit_ = bit;
  }
  // Writes the low `width` (at most 32) bits of `value`, bit 0 first, at the cursor; the cursor
  // moves on and opens the next half whenever it reaches half_bits.
  void put(uint32_t value, uint32_t width) {
    uint64_t bits = value & low_bits(width);
    const uint32_t room = half_bits_ - bit_;
    dirty_ = true;
    if (width < room) {
      pending_ |= bits << bit_;
      bit_ += width;
      return;
    }
    pending_ |= (bits & low_bits(room)) << bit_;
    bit_ = half_bits_;
    next_half();
    pending_ = bits >> room;
    bit_ = width - room;
    dirty_ = bit_ > 0;
  }
  void next_half() {
    flush();
    ++half_;
    bit_ = 0;
  }
  // To bit 0 of the next 100-bit word.
  void next_word() {
    flush();
    half_ = half_ / 2 * 2 + 2;
    bit_ = 0;
  }
  uint32_t bit() const { return bit_; }  // cursor position inside its half

  // Writes what the cursor still holds; the stream's words are then complete.
  void finish() { flush(); }

 private:
  static uint64_t low_bits(uint32_t width) { return (uint64_t{1} << width) - 1; }

  // Writes the bits gathered for the current half, which end at the cursor, into its words. A
  // word the cursor wrote into must lie inside the stream, even where the bits written are 0.
  void flush() {
    if (!dirty_) return;
    const size_t low = half_ * kWordsPerHalf;
    const bool high = bit_ > kTransferWordBits;
    if (low + (high ? 1 : 0) >= words_.size()) throw std::out_of_range(kMsgWeightStreamEnd);
    words_[low] |= static_cast<uint32_t>(pending_);
    if (high) words_[low + 1] |= static_cast<uint32_t>(pending_ >> kTransferWordBits);
    pending_ = 0;
    dirty_ = false;
  }

  std::span<uint32_t> words_;
  uint32_t half_bits_;
  size_t half_ = 0;
  uint32_t bit_ = 0;
  uint64_t pending_ = 0;  // bits of the current half not yet written
  bool dirty_ = false;    // the cursor wrote into the current half since its last flush
};

}  // namespace ornix::v2
