#pragma once

#include <cstddef>

namespace ornix::program {

// Memory for the large buffers a program is built in: the words of its DMA tracks and its
// serialized bytes. A block of kLargePageBytes or more is mapped from the system on its own,
// aligned to and advised for large pages where the system has them, so that touching it the
// first time costs one fault per large page instead of one per small page; a smaller block
// comes from the heap. A large block, and a small one asked `zeroed`, reads as zeros.
// std::bad_alloc when the system has no memory for it.
void* allocate_block(size_t bytes, bool zeroed);
// Frees a block of allocate_block; `bytes` is the size it was allocated with.
void free_block(void* block, size_t bytes) noexcept;

// Bytes of program memory taken into use so far in this process, for measurement: the words
// handed to tracks and the builders' memory (what is freed again included).
size_t program_memory_bytes() noexcept;
void count_program_memory(size_t bytes) noexcept;

}  // namespace ornix::program
