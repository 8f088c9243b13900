#pragma once

#include <cstdint>

namespace ornix {

// The kind of hardware component a layer can be mapped on, as Layer::is_target_component
// takes it.
enum class ComponentKind : uint32_t {
  None = 0,
  HRC = 1,
  CNP = 2,
  FNP = 3,
  SkipDma = 4,  // merge layers: they join branches and take no NP of their own
  TNP_B = 5,
  TNP_R = 6,
  DMA = 7,
};

}  // namespace ornix
