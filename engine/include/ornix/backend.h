#pragma once

#include <memory>
#include <vector>

#include "ornix/backend_type.h"
#include "ornix/layer.h"
#include "ornix/sequence.h"

namespace ornix {

class MapConstraints;  // the hardware back end's mapping constraints
class MappingStatus;   // the hardware back end's outcome of a mapping

// A back end that maps layers into sequences. The engine makes one per mapping and calls
// `map` with the layers still to map (mapped ones are removed from its front) and the list
// that receives the new sequences.
class Backend {
 public:
  virtual ~Backend() = default;
  virtual MappingStatus map(std::vector<std::shared_ptr<Layer>>* layers,
                            std::vector<std::shared_ptr<Sequence>>* sequences,
                            std::shared_ptr<MapConstraints> constraints, bool retry) = 0;
  virtual BackendType type() const = 0;
};

}  // namespace ornix
