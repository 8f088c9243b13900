#include "program/track_arena.h"

#include <algorithm>

#include "program/limits.h"
#include "program/page_blocks.h"

namespace ornix::program {

namespace {

thread_local std::shared_ptr<TrackArena> t_current_arena;

}  // namespace

TrackArena::~TrackArena() {
  for (const Block& block : blocks_) free_block(block.start, block.bytes);
}

void* TrackArena::allocate(size_t bytes) {
  const size_t rounded = (bytes + kTrackArenaAlignment - 1) / kTrackArenaAlignment * kTrackArenaAlignment;
  if (rounded < bytes) throw std::bad_alloc();
  if (end_ - next_ < rounded) {
    size_t size = kTrackArenaFirstBlockBytes;
    if (!blocks_.empty()) {
      const size_t last = blocks_.back().bytes;
      size = last < kLargePageBytes ? last * kTrackArenaSmallGrowth : last * 2;
    }
    size = std::max(size, rounded + kTrackArenaAlignment);
    blocks_.reserve(blocks_.size() + 1);
    void* start = allocate_block(size, true);
    blocks_.push_back({start, size});
    next_ = (reinterpret_cast<uintptr_t>(start) + kTrackArenaAlignment - 1) / kTrackArenaAlignment *
            kTrackArenaAlignment;
    end_ = reinterpret_cast<uintptr_t>(start) + size;
  }
  count_program_memory(rounded);
  void* words = reinterpret_cast<void*>(next_);
  next_ += rounded;
  return words;
}

const std::shared_ptr<TrackArena>& TrackArena::current() noexcept { return t_current_arena; }

TrackArenaScope::TrackArenaScope(std::shared_ptr<TrackArena> arena) : outer_(std::move(t_current_arena)) {
  t_current_arena = std::move(arena);
}

TrackArenaScope::~TrackArenaScope() { t_current_arena = std::move(outer_); }

}  // namespace ornix::program
