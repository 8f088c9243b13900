#pragma once

#include "mapping/strategy_factory.h"

namespace ornix::v1 {

// Makes the generation-1 implementations of the four interfaces.
const StrategyFactory& strategy_factory();

}  // namespace ornix::v1
