#pragma once

#include <cstdint>
#include <string>

#include "ornix/ip_version.h"

namespace ornix {

// A device's hardware version: four bytes.
struct HwVersion {
  uint8_t vendor_id = 0;
  uint8_t product_id = 0;
  uint8_t major_rev = 0;
  uint8_t minor_rev = 0;

  // The four bytes in unsigned decimal joined by "." (used in messages).
  std::string to_string() const;
  // Product id 0x00 or 0xA1: v1; 0xA2: v2; anything else: none.
  IpVersion get_ip_version() const;

  bool operator==(const HwVersion&) const = default;
};

}  // namespace ornix
