#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

namespace ornix::program {

// The memory of the DMA tracks recorded for one program. Blocks are handed out in order and
// never reused, so what the arena hands out reads as zeros; they are given back all at once,
// when the arena and every track that took words from it are gone. Once a program outgrows the
// arena's heap blocks, its tracks lie in large pages.
class TrackArena {
 public:
  TrackArena() = default;
  ~TrackArena();
  TrackArena(const TrackArena&) = delete;
  TrackArena& operator=(const TrackArena&) = delete;

  // `bytes` of zeros, aligned to kTrackArenaAlignment. std::bad_alloc without memory.
  void* allocate(size_t bytes);

  // The arena of the innermost TrackArenaScope alive on this thread; null outside any.
  static const std::shared_ptr<TrackArena>& current() noexcept;

 private:
  struct Block {
    void* start;
    size_t bytes;
  };
  std::vector<Block> blocks_;
  uintptr_t next_ = 0;
  uintptr_t end_ = 0;
};

// While alive, the tracks created on this thread take their words from `arena`. Scopes nest
// and must end in the reverse order of their creation (they live on the stack).
class TrackArenaScope {
 public:
  explicit TrackArenaScope(std::shared_ptr<TrackArena> arena);
  ~TrackArenaScope();
  TrackArenaScope(const TrackArenaScope&) = delete;
  TrackArenaScope& operator=(const TrackArenaScope&) = delete;

 private:
  std::shared_ptr<TrackArena> outer_;
};

// Allocates a track's words from the arena current when the track was made, else from the heap.
// Words from an arena are zeros already, so inserting words without a value leaves them as they
// are instead of writing zeros a second time; a container that gives words back (shrinks) must
// zero them first. Heap words are zeroed as usual.
template <typename T>
class TrackAllocator {
 public:
  using value_type = T;
  using propagate_on_container_copy_assignment = std::true_type;
  using propagate_on_container_move_assignment = std::true_type;
  using propagate_on_container_swap = std::true_type;

  TrackAllocator() noexcept : arena_(TrackArena::current()) {}
  template <typename U>
  TrackAllocator(const TrackAllocator<U>& other) noexcept : arena_(other.arena()) {}

  T* allocate(size_t n) {
    if (!arena_) return std::allocator<T>().allocate(n);
    if (n > SIZE_MAX / sizeof(T)) throw std::bad_array_new_length();
    return static_cast<T*>(arena_->allocate(n * sizeof(T)));
  }
  void deallocate(T* words, size_t n) noexcept {
    if (!arena_) std::allocator<T>().deallocate(words, n);
  }
  template <typename U>
  void construct(U* word) {
    if (!arena_) ::new (static_cast<void*>(word)) U();
  }
  template <typename U, typename... Args>
  void construct(U* word, Args&&... args) {
    ::new (static_cast<void*>(word)) U(std::forward<Args>(args)...);
  }

  const std::shared_ptr<TrackArena>& arena() const noexcept { return arena_; }
  friend bool operator==(const TrackAllocator& a, const TrackAllocator& b) noexcept { return a.arena_ == b.arena_; }

 private:
  std::shared_ptr<TrackArena> arena_;
};

// The words of one DMA track.
using TrackWords = std::vector<uint32_t, TrackAllocator<uint32_t>>;

inline bool operator==(const TrackWords& a, const std::vector<uint32_t>& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end());
}

}  // namespace ornix::program
