#pragma once

#include <memory>
#include <vector>

#include "hardware/mapping_status.h"
#include "mapping/map_constraints.h"
#include "mapping/mapping_attempt.h"
#include "mapping/strategy_factory.h"
#include "ornix/backend.h"
#include "ornix/layer.h"
#include "ornix/sequence.h"

namespace ornix {

// The engine's entry for mapping layers onto a device. Keeps nothing between calls.
class HardwareBackend final : public Backend {
 public:
  // The generation back ends and the mapping attempt of this library.
  HardwareBackend();
  // Other generation back ends and attempt (tests drive the mapping loop through these).
  HardwareBackend(GenerationFactories generations, MappingAttempt attempt);

  // Maps layers from the front of `layers` onto the device of `constraints`, appending one
  // sequence per successful attempt to `sequences` and erasing the layers it mapped. Devices of
  // product id above 0xA0 first try the whole list in one attempt when it passes the
  // generation's sequence rules; then, while layers remain, prefix attempts run, each after the
  // first only with `retry` and only while the previous one mapped something. Returns the
  // status of the last attempt, or of the sequence rules when no attempt ran.
  // std::runtime_error for null constraints; exceptions of an attempt pass out unchanged.
  MappingStatus map(std::vector<std::shared_ptr<Layer>>* layers, std::vector<std::shared_ptr<Sequence>>* sequences,
                    std::shared_ptr<MapConstraints> constraints, bool retry) override;
  BackendType type() const override { return BackendType::Hardware; }

 private:
  GenerationFactories generations_;
  MappingAttempt attempt_;
};

}  // namespace ornix
