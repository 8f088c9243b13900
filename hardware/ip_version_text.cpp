#include "hardware/ip_version_text.h"

namespace ornix {

std::string to_string(IpVersion version) {
  switch (version) {
    case IpVersion::v1:
      return "v1";
    case IpVersion::v2:
      return "v2";
    default:
      return "none";
  }
}

}  // namespace ornix
