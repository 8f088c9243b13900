#include <stdexcept>

#include "mapping/mapping_attempt.h"

namespace ornix {

// Layer placement and program assembly are not built yet: every attempt refuses.
MappingStatus map_layers_to_sequences(const HardwareConstraints&, const std::shared_ptr<MapConstraints>&,
                                      const IpVersionSpecificHardwareBackend&, std::vector<std::shared_ptr<Layer>>*,
                                      std::vector<std::shared_ptr<Sequence>>*, bool) {
  throw std::runtime_error("The mapping attempt is not available yet.");
}

}  // namespace ornix
