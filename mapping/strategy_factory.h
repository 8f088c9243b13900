#pragma once

#include <memory>

#include "mapping/compatibility_checker.h"
#include "mapping/hardware_constraints.h"
#include "mapping/io_recorder.h"
#include "mapping/layer_recorder.h"
#include "mapping/memory_sizer.h"
#include "ornix/device.h"

namespace ornix {

// Makes one generation's implementations of the four interfaces. The device and the table are
// lent: the objects made keep pointers to them.
class StrategyFactory {
 public:
  virtual ~StrategyFactory() = default;
  virtual std::unique_ptr<CompatibilityChecker> make_checker(const Device& device,
                                                             const HardwareConstraints& constraints) const = 0;
  virtual std::unique_ptr<MemorySizer> make_memory_sizer() const = 0;
  virtual std::unique_ptr<IoRecorder> make_io_recorder(const Device& device) const = 0;
  virtual std::unique_ptr<LayerRecorder> make_layer_recorder(const Device& device,
                                                             const HardwareConstraints& constraints) const = 0;
};

// The factory of each generation; neither is null, both outlive the mappings that use them.
struct GenerationFactories {
  const StrategyFactory* v1;
  const StrategyFactory* v2;
};

// The generation back ends of this library.
GenerationFactories built_in_generations();

}  // namespace ornix
