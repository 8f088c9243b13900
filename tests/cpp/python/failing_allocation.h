#pragma once

namespace ornix::test {

// This test binary's operator new fails once on request, as it would when memory runs out: the
// allocation numbered `failing_allocation` (0 the next one) throws std::bad_alloc. Counted down
// as allocations are made; -1 (the start): none fails.
extern long failing_allocation;

}  // namespace ornix::test
