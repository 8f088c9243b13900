#pragma once

#include <cstdint>

namespace ornix {

// What the generation's checker reads from a layer's parameters for splitting it over NPs.
struct NpSplitParams {
  uint32_t left = 0;         // columns a window needs from its left neighbour
  uint32_t right = 0;        // columns a window needs from its right neighbour
  uint32_t top = 0;          // rows a window needs from the window above
  uint32_t bottom = 0;       // rows a window needs from the window below
  uint32_t pool_type = 0;    // PoolType: 0 no pooling, 1 max, 2 average
  uint32_t pool_width = 0;
  uint32_t pool_height = 0;
  uint32_t filters = 0;      // output channels

  bool operator==(const NpSplitParams&) const = default;
};

}  // namespace ornix
