#include "ornix/hw_version.h"

namespace ornix {

namespace {

constexpr uint8_t kProductIdUnset = 0x00;  // early v1 parts report no product id
constexpr uint8_t kProductIdV1 = 0xA1;
constexpr uint8_t kProductIdV2 = 0xA2;

}  // namespace

std::string HwVersion::to_string() const {
  return std::to_string(vendor_id) + "." + std::to_string(product_id) + "." + std::to_string(major_rev) + "." +
         std::to_string(minor_rev);
}

IpVersion HwVersion::get_ip_version() const {
  switch (product_id) {
    case kProductIdUnset:
    case kProductIdV1:
      return IpVersion::v1;
    case kProductIdV2:
      return IpVersion::v2;
    default:
      return IpVersion::none;
  }
}

}  // namespace ornix
