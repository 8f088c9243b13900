#pragma once

#include <cstddef>
#include <utility>
#include <vector>

namespace ornix {

// A fixed ring of values, allocated once. When full, a push overwrites the oldest value.
template <typename T>
class CircularQueue {
 public:
  // capacity: number of slots, at least 1.
  explicit CircularQueue(std::size_t capacity) : slots_(capacity) {}

  bool empty() const { return !full_ && write_ == read_; }

  void push(T value) {
    slots_[write_] = std::move(value);
    if (full_) read_ = next(read_);
    write_ = next(write_);
    full_ = write_ == read_;
  }

  // The held values, oldest first. With `clear`, the ring is emptied afterwards.
  std::vector<T> get(bool clear) {
    std::vector<T> values;
    const std::size_t count = full_ ? slots_.size() : (write_ + slots_.size() - read_) % slots_.size();
    values.reserve(count);
    for (std::size_t i = 0, at = read_; i < count; ++i, at = next(at)) values.push_back(slots_[at]);
    if (clear) {
      write_ = read_ = 0;
      full_ = false;
    }
    return values;
  }

 private:
  std::size_t next(std::size_t position) const { return position + 1 == slots_.size() ? 0 : position + 1; }

  std::vector<T> slots_;
  std::size_t write_ = 0;  // where the next value goes
  std::size_t read_ = 0;   // the oldest held value
  bool full_ = false;
};

}  // namespace ornix
