#include "failing_allocation.h"

#include <cstdlib>
#include <new>

// In a translation unit of their own: the compiler must not pair a new-expression elsewhere
// with the free below.

long ornix::test::failing_allocation = -1;

void* operator new(std::size_t size) {
  if (ornix::test::failing_allocation >= 0 && ornix::test::failing_allocation-- == 0) throw std::bad_alloc();
  if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
  throw std::bad_alloc();
}

void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
