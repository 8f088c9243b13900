#pragma once

namespace ornix {

// Fatal error for broken invariants: formats printf-style into a 257-byte buffer (at most
// 256 characters survive) and throws std::runtime_error with the text. Never returns.
// A format that yields no character terminates the process.
[[noreturn]] void panic(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace ornix
