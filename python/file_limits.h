#pragma once

// Limits of the model file writer.

namespace ornix::python {

// Symbolic links followed from a save path to the file it names, as the system's own limit
// (MAXSYMLINKS): more are taken for a loop.
inline constexpr int kMaxSymlinkHops = 40;

}  // namespace ornix::python
