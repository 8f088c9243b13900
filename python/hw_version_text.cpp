#include "hw_version_text.h"

#include <cstdio>

namespace ornix::python {

std::string format_hw_version(const HwVersion& version) {
  char text[128];
  std::snprintf(text, sizeof text, "%02X.%02X.%03u.%03u", unsigned{version.vendor_id}, unsigned{version.product_id},
                unsigned{version.major_rev}, unsigned{version.minor_rev});
  return text;
}

}  // namespace ornix::python
