#pragma once

#include <string>
#include <string_view>

#include "ornix/shape.h"

namespace ornix {

// printf-style formatting into a std::string of any length.
std::string format_text(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The dimensions in use, "(2, 4, 4)"; "()" for none.
std::string shape_text(const Shape& shape);

// Whether `text` is strict UTF-8 as Python decodes it: no overlong forms, surrogates or code
// points above U+10FFFF.
bool is_utf8(std::string_view text);

}  // namespace ornix
