#pragma once

#include <cstdint>

namespace ornix::soc {

// SoC clock modes; each value is the clock frequency in Hz.
enum class ClockMode : uint32_t {
  Performance = 300000000,
  Economy = 100000000,
  LowPower = 5000000,
};

}  // namespace ornix::soc
