#pragma once

// Writes 50-bit weight words into their 64-bit slots (two u32 words, low word first): bits
// gather in a 64-bit accumulator and reach the stream a whole slot at a time.

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>

#include "backend/v1/weight_format_messages.h"

namespace ornix::v1 {

// Refuses words that are not exactly the `stream_words` a packer writes: std::out_of_range.
inline void check_stream_words(std::span<const uint32_t> words, std::size_t stream_words) {
  if (words.size() != stream_words) throw std::out_of_range(kMsgWeightWordsSize);
}

class SlotWriter {
 public:
  // Writes into `words` (borrowed, zero-filled by the caller) from slot `first_slot` on. A slot
  // past the end of `words` throws std::out_of_range when it is written.
  SlotWriter(std::span<uint32_t> words, std::size_t first_slot)
      : words_(words.data()), slots_(words.size() / 2), slot_(first_slot) {}

  // Bit of the current slot where the next value goes.
  uint32_t position() const { return position_; }

  // The low `width` bits of `bits` at the current position; the caller keeps them in the slot.
  void put(uint64_t bits, uint32_t width) {
    accumulator_ |= bits << position_;
    position_ += width;
  }

  // Like put, but the bits past `limit` continue at bit 0 of the next slot, and a slot filled
  // up to `limit` is closed.
  void put_wrapped(uint64_t bits, uint32_t width, uint32_t limit) {
    if (position_ + width < limit) return put(bits, width);
    const uint32_t low = limit - position_;
    put(bits & ((uint64_t{1} << low) - 1), low);
    next_slot();
    if (width > low) put(bits >> low, width - low);
  }

  // `count` values of `width` bits each, one after the other as put_wrapped puts them (a value
  // wraps at `limit`, which it may not exceed), the running slot kept in registers.
  void put_run(const uint64_t* values, std::size_t count, uint32_t width, uint32_t limit) {
    const uint64_t payload = (uint64_t{1} << limit) - 1;
    uint64_t accumulator = accumulator_;
    uint32_t position = position_;
    for (std::size_t i = 0; i < count; ++i) {
      const uint64_t value = values[i];
      // Bits shifted past bit 63 belong to the next slot and are taken again below.
      accumulator |= value << position;
      position += width;
      if (position < limit) continue;
      position -= limit;
      accumulator_ = accumulator & payload;
      flush();
      ++slot_;
      accumulator = value >> (width - position);
    }
    accumulator_ = accumulator;
    position_ = position;
  }

  // Writes the current slot and moves to bit 0 of the next one.
  void next_slot() {
    flush();
    ++slot_;
    position_ = 0;
    accumulator_ = 0;
  }

  // Moves to the next slot unless nothing was put in the current one yet.
  void close_slot() {
    if (position_ != 0) next_slot();
  }

  // Writes the current slot (bits already there are kept).
  void flush() {
    if (accumulator_ == 0) return;
    if (slot_ >= slots_) throw std::out_of_range(kMsgWeightSlotOutside);
    words_[2 * slot_] |= static_cast<uint32_t>(accumulator_);
    words_[2 * slot_ + 1] |= static_cast<uint32_t>(accumulator_ >> 32);
  }

 private:
  uint32_t* words_;
  std::size_t slots_;
  std::size_t slot_;
  uint32_t position_ = 0;
  uint64_t accumulator_ = 0;
};

}  // namespace ornix::v1
