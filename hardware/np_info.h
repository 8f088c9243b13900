#pragma once

#include <set>

#include "hardware/hw_type.h"
#include "ornix/hw/ident.h"

namespace ornix::np {

// One component found on the mesh: where it is and every kind of work it can take (an NP may
// offer several kinds, e.g. CNP1 and CNP2; the set may be empty).
struct Info {
  hw::Ident ident;
  std::set<hw::Type> types;
  bool has_lut = false;  // has a lookup table for activations

  bool operator==(const Info&) const = default;
};

}  // namespace ornix::np
