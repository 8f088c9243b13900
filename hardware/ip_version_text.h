#pragma once

#include <string>

#include "ornix/ip_version.h"

namespace ornix {

// "v1", "v2", or "none" for any other value (as used in messages).
std::string to_string(IpVersion version);

}  // namespace ornix
