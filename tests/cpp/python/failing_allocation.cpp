#include "failing_allocation.h"

#include <cstdlib>
#include <new>

namespace {

long allocations_left = -1;  // before the failing one; -1: none fails
bool failed = false;

}  // namespace

void* operator new(std::size_t size) {
  if (allocations_left >= 0 && allocations_left-- == 0) {
    failed = true;
    throw std::bad_alloc();
  }
  if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
  throw std::bad_alloc();
}

void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }

namespace ornix::test {

FailingAllocation::FailingAllocation(long index) {
  allocations_left = index;
  failed = false;
}

FailingAllocation::~FailingAllocation() { allocations_left = -1; }

bool FailingAllocation::reached() const { return failed; }

}  // namespace ornix::test
