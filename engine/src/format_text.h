#pragma once

#include <string>

namespace ornix {

// printf-style formatting into a std::string of any length.
std::string format_text(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace ornix
