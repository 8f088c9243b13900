#pragma once

// This test binary replaces the global operator new and delete so that a test can make one
// allocation fail: the code under test then meets std::bad_alloc at that point, as it would when
// memory runs out.

namespace ornix::test {

// While one lives, the allocation numbered `index` from its creation on (0 the first) throws
// std::bad_alloc; every other allocation succeeds.
class FailingAllocation {
 public:
  explicit FailingAllocation(long index);
  ~FailingAllocation();
  FailingAllocation(const FailingAllocation&) = delete;
  FailingAllocation& operator=(const FailingAllocation&) = delete;

  // Whether the allocation at `index` was reached (and failed).
  bool reached() const;
};

}  // namespace ornix::test
