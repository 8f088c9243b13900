#include "program/page_blocks.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif

#include "program/limits.h"

namespace ornix::program {

namespace {

std::atomic<size_t> g_program_memory_bytes{0};
std::atomic<size_t> g_program_bytes_written{0};

#if defined(__linux__)
size_t rounded_to_small_pages(size_t bytes) {
  static const auto page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  return (bytes + page - 1) / page * page;
}

// Maps `bytes` (whole small pages) so that the block ends on a large-page boundary: one large
// page more is mapped and what lies before and after the block is given back. Every whole
// large page of the block can then be a large page, and only its first, partial one takes
// small pages: a program builder fills its block from the end, and the arena's blocks are
// whole large pages.
void* map_large_pages(size_t bytes) {
  void* mapped = mmap(nullptr, bytes + kLargePageBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) throw std::bad_alloc();
  const auto first = reinterpret_cast<uintptr_t>(mapped);
  const uintptr_t last = first + bytes + kLargePageBytes;
  const uintptr_t end = last / kLargePageBytes * kLargePageBytes;
  const uintptr_t start = end - bytes;
  if (start > first) munmap(mapped, start - first);
  if (last > end) munmap(reinterpret_cast<void*>(end), last - end);
  auto* block = reinterpret_cast<void*>(start);
  // Advice only: without large pages the block works the same with small ones.
  madvise(block, bytes, MADV_HUGEPAGE);
  return block;
}
#endif

}  // namespace

void* allocate_block(size_t bytes, bool zeroed) {
#if defined(__linux__)
  if (bytes >= kLargePageBytes) return map_large_pages(rounded_to_small_pages(bytes));
#endif
  const size_t size = bytes == 0 ? 1 : bytes;
  void* block = zeroed ? std::calloc(size, 1) : std::malloc(size);
  if (block == nullptr) throw std::bad_alloc();
  return block;
}

void free_block(void* block, size_t bytes) noexcept {
  if (block == nullptr) return;
#if defined(__linux__)
  if (bytes >= kLargePageBytes) {
    munmap(block, rounded_to_small_pages(bytes));
    return;
  }
#else
  static_cast<void>(bytes);
#endif
  std::free(block);
}

size_t program_memory_bytes() noexcept { return g_program_memory_bytes.load(std::memory_order_relaxed); }

size_t program_bytes_written() noexcept { return g_program_bytes_written.load(std::memory_order_relaxed); }

void count_program_memory(size_t bytes) noexcept { g_program_memory_bytes.fetch_add(bytes, std::memory_order_relaxed); }

void count_program_bytes_written(size_t bytes) noexcept {
  g_program_bytes_written.fetch_add(bytes, std::memory_order_relaxed);
}

}  // namespace ornix::program
