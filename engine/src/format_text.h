#pragma once

#include <string>

#include "ornix/shape.h"

namespace ornix {

// printf-style formatting into a std::string of any length.
std::string format_text(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The dimensions in use, "(2, 4, 4)"; "()" for none.
std::string shape_text(const Shape& shape);

}  // namespace ornix
