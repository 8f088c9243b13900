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

// The factory of a generation whose implementations are constructed as the interfaces' callers
// lend: checker (device, table), sizer (), I/O recorder (device), layer recorder (device, table).
template <typename Checker, typename Sizer, typename Io, typename Recorder>
class GenerationStrategyFactory final : public StrategyFactory {
 public:
  std::unique_ptr<CompatibilityChecker> make_checker(const Device& device,
                                                     const HardwareConstraints& constraints) const override {
    return std::make_unique<Checker>(&device, &constraints);
  }
  std::unique_ptr<MemorySizer> make_memory_sizer() const override { return std::make_unique<Sizer>(); }
  std::unique_ptr<IoRecorder> make_io_recorder(const Device& device) const override {
    return std::make_unique<Io>(&device);
  }
  std::unique_ptr<LayerRecorder> make_layer_recorder(const Device& device,
                                                     const HardwareConstraints& constraints) const override {
    return std::make_unique<Recorder>(&device, &constraints);
  }
};

// The factory of each generation; neither is null, both outlive the mappings that use them.
struct GenerationFactories {
  const StrategyFactory* v1;
  const StrategyFactory* v2;
};

// The generation back ends of this library.
GenerationFactories built_in_generations();

}  // namespace ornix
