#include "backend/v2/strategy_factory.h"

#include "backend/v2/compatibility_checker.h"
#include "backend/v2/io_recorder.h"
#include "backend/v2/layer_recorder.h"
#include "backend/v2/memory_sizer.h"

namespace ornix::v2 {

const StrategyFactory& strategy_factory() {
  static const GenerationStrategyFactory<CompatibilityCheckerImpl, MemorySizerImpl, IoRecorderImpl, LayerRecorderImpl>
      factory;
  return factory;
}

}  // namespace ornix::v2
