#pragma once

#include "ornix/hw_version.h"

namespace ornix {

// The generation of back-end implementations that serves a device. Unlike IpVersion it has no
// "none": every product id that does not select generation 1 gets generation 2.
enum class Generation { v1 = 1, v2 = 2 };

// Generation 1 for product id 0x00 or 0xA1, generation 2 for every other product id.
inline Generation generation_of(const HwVersion& version) {
  return version.get_ip_version() == IpVersion::v1 ? Generation::v1 : Generation::v2;
}

}  // namespace ornix
