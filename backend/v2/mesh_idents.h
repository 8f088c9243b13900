#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "hardware/component.h"

namespace ornix::v2 {

// The one-hot code of an ident's id as the mesh registers name NPs inside a node. An id of 32
// or more has no code: it gives a value no register field holds, so writing it panics.
uint32_t one_hot_id(uint8_t id);

// Smallest and largest mesh column of the components, or (1, 1) for a list holding only the
// input NP (HRC). std::invalid_argument "A mesh routing list needs at least one component."
// for an empty list.
std::pair<uint8_t, uint8_t> mesh_column_range(const std::vector<hw::Component>& components);

}  // namespace ornix::v2
