#pragma once

#include "mapping/strategy_factory.h"

namespace ornix::v2 {

// Makes the generation-2 implementations of the four interfaces.
const StrategyFactory& strategy_factory();

}  // namespace ornix::v2
