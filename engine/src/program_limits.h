#pragma once

#include <cstdint>

// Limits of the programs the engine reads.

namespace ornix {

// Device memory one output frame of a program may take, in bytes: the device writes each frame
// of a run into its own memory, and the host receives a copy of every frame. A program whose
// output needs more (as output_memory_required counts it) is refused when it is read, before its
// output shape sizes anything.
inline constexpr uint64_t kMaxOutputFrameBytes = uint64_t{256} << 20;

}  // namespace ornix
