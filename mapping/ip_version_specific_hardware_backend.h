#pragma once

#include <memory>

#include "mapping/hardware_constraints.h"
#include "mapping/strategy_factory.h"
#include "ornix/device.h"

namespace ornix {

// What one mapping uses of the device's generation: its constraints table and its four
// strategy objects, made in the order checker, memory sizer, I/O recorder, layer recorder and
// destroyed in the reverse order. The strategies point into this object and at the device, so
// it is neither copied nor moved, and the device must outlive it. Lives for one
// HardwareBackend::map call.
class IpVersionSpecificHardwareBackend {
 public:
  // Generation 1 for product id 0x00 or 0xA1, generation 2 for any other. std::runtime_error
  // when the device has no mesh.
  explicit IpVersionSpecificHardwareBackend(const Device& device,
                                            const GenerationFactories& generations = built_in_generations());
  IpVersionSpecificHardwareBackend(const IpVersionSpecificHardwareBackend&) = delete;
  IpVersionSpecificHardwareBackend& operator=(const IpVersionSpecificHardwareBackend&) = delete;

  const HardwareConstraints constraints;
  const std::unique_ptr<const CompatibilityChecker> checker;
  const std::unique_ptr<const MemorySizer> memory_sizer;
  const std::unique_ptr<const IoRecorder> io_recorder;
  const std::unique_ptr<const LayerRecorder> layer_recorder;

 private:
  IpVersionSpecificHardwareBackend(const Device& device, Generation generation, const GenerationFactories& generations);
};

}  // namespace ornix
