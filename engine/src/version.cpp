#include "ornix/version.h"

namespace ornix {

const char* version() { return "2.0.0-stand-in"; }

}  // namespace ornix
