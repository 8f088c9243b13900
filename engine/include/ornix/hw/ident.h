#pragma once

#include <cstdint>

namespace ornix::hw {

// Identifier of one hardware component on the mesh. All zeros by default (the HRC's
// identifier, and that of a skip-DMA component before it is placed).
struct Ident {
  uint8_t col = 0;      // mesh column of the node (from 1 for NPs)
  uint8_t row = 0;      // mesh row of the node (from 1 for NPs)
  uint8_t id = 0;       // component inside its node (from 0 for NPs)
  uint8_t channel = 0;  // skip-DMA channel index; 0 for NPs and DMA endpoints

  // Lexicographic on col, row, id, channel, each an unsigned byte.
  auto operator<=>(const Ident&) const = default;
};

}  // namespace ornix::hw
