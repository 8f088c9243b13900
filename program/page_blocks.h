#pragma once

#include <cstddef>

namespace ornix::program {

// Memory for the large buffers a program is built in: the words of its DMA tracks and its
// serialized bytes. A block of kLargePageBytes or more is mapped from the system on its own,
// ending on a large-page boundary and advised for large pages where the system has them, so
// that touching it the first time costs one fault per large page instead of one per small
// page; a smaller block comes from the heap. A large block, and a small one asked `zeroed`, reads as zeros.
// std::bad_alloc when the system has no memory for it.
void* allocate_block(size_t bytes, bool zeroed);
// Frees a block of allocate_block; `bytes` is the size it was allocated with.
void free_block(void* block, size_t bytes) noexcept;

// For measurement, counted over the whole process: the bytes of program memory taken into use
// (words handed to tracks, the builders' memory), and the bytes written on the way to a
// program (words written or moved into tracks, payload and filter words handed to a record,
// each finished buffer). Freed memory stays counted.
size_t program_memory_bytes() noexcept;
size_t program_bytes_written() noexcept;
void count_program_memory(size_t bytes) noexcept;
void count_program_bytes_written(size_t bytes) noexcept;

}  // namespace ornix::program
