#include "backend/v1/strategy_factory.h"
#include "backend/v2/strategy_factory.h"
#include "mapping/strategy_factory.h"

namespace ornix {

GenerationFactories built_in_generations() { return {&v1::strategy_factory(), &v2::strategy_factory()}; }

}  // namespace ornix
