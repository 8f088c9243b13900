#pragma once

#include <string>

#include "ornix/hw_version.h"

namespace ornix::python {

// The display form of a version: vendor and product as two upper-case hexadecimal digits, the
// revisions as three-digit decimals ("D3.A2.001.000").
std::string format_hw_version(const HwVersion& version);

}  // namespace ornix::python
