#include "backend/v1/strategy_factory.h"

#include "backend/v1/compatibility_checker.h"
#include "backend/v1/io_recorder.h"
#include "backend/v1/layer_recorder.h"
#include "backend/v1/memory_sizer.h"

namespace ornix::v1 {

namespace {

class Factory final : public StrategyFactory {
 public:
  std::unique_ptr<CompatibilityChecker> make_checker(const Device& device,
                                                     const HardwareConstraints& constraints) const override {
    return std::make_unique<CompatibilityCheckerImpl>(&device, &constraints);
  }
  std::unique_ptr<MemorySizer> make_memory_sizer() const override { return std::make_unique<MemorySizerImpl>(); }
  std::unique_ptr<IoRecorder> make_io_recorder(const Device& device) const override {
    return std::make_unique<IoRecorderImpl>(&device);
  }
  std::unique_ptr<LayerRecorder> make_layer_recorder(const Device& device,
                                                     const HardwareConstraints& constraints) const override {
    return std::make_unique<LayerRecorderImpl>(&device, &constraints);
  }
};

}  // namespace

const StrategyFactory& strategy_factory() {
  static const Factory factory;
  return factory;
}

}  // namespace ornix::v1
