#include "backend/v1/strategy_factory.h"

#include "backend/v1/compatibility_checker.h"
#include "backend/v1/io_recorder.h"
#include "backend/v1/layer_recorder.h"
#include "backend/v1/memory_sizer.h"

namespace ornix::v1 {

const StrategyFactory& strategy_factory() {
  static const GenerationStrategyFactory<CompatibilityCheckerImpl, MemorySizerImpl, IoRecorderImpl, LayerRecorderImpl>
      factory;
  return factory;
}

}  // namespace ornix::v1
