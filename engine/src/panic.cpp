#include "ornix/panic.h"

#include <cstdarg>
#include <cstdio>
#include <exception>
#include <stdexcept>

namespace ornix {

void panic(const char* format, ...) {
  char text[257];
  va_list args;
  va_start(args, format);
  const int written = std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  if (written <= 0) std::terminate();
  throw std::runtime_error(text);
}

}  // namespace ornix
