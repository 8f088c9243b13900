#include "mapping/compatibility_checker.h"

namespace ornix {

bool CompatibilityChecker::is_fnp_type_compatible(const Layer& layer, hw::Type type) const {
  return type == hw::Type::FNP2 || check_fnp3_sram_size(*constraints, layer);
}

}  // namespace ornix
