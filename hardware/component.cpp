#include "hardware/component.h"

namespace ornix::hw {

NpAllocation np_share_or_default(const Component& component) { return component.allocation.value_or(NpAllocation{}); }

}  // namespace ornix::hw
