#include "program/page_blocks.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

#include "program/limits.h"

namespace ornix::program {

namespace {

std::atomic<size_t> g_program_memory_bytes{0};
std::atomic<size_t> g_program_bytes_written{0};

#if defined(__linux__)
size_t rounded_to_large_pages(size_t bytes) { return (bytes + kLargePageBytes - 1) / kLargePageBytes * kLargePageBytes; }

// Maps `bytes` (a multiple of kLargePageBytes) at an address aligned to a large page: one page
// more is mapped and the parts before and after the aligned range are given back.
void* map_large_pages(size_t bytes) {
  void* mapped = mmap(nullptr, bytes + kLargePageBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) throw std::bad_alloc();
  const auto start = reinterpret_cast<uintptr_t>(mapped);
  const uintptr_t aligned = (start + kLargePageBytes - 1) / kLargePageBytes * kLargePageBytes;
  if (aligned > start) munmap(mapped, aligned - start);
  if (const uintptr_t tail = start + kLargePageBytes - aligned; tail > 0) {
    munmap(reinterpret_cast<void*>(aligned + bytes), tail);
  }
  auto* block = reinterpret_cast<void*>(aligned);
  // Advice only: without large pages the block works the same with small ones.
  madvise(block, bytes, MADV_HUGEPAGE);
  return block;
}
#endif

}  // namespace

void* allocate_block(size_t bytes, bool zeroed) {
#if defined(__linux__)
  if (bytes >= kLargePageBytes) return map_large_pages(rounded_to_large_pages(bytes));
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
    munmap(block, rounded_to_large_pages(bytes));
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
