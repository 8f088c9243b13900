#pragma once

#include <memory>
#include <vector>

#include "ornix/layer.h"
#include "program_format/program_generated.h"

namespace ornix {

// The skip-DMA transfers of one pass, as the program info lists them.
struct SkipDmaEntries {
  std::vector<fb::SKipDmaInfoTrack> stores;  // per layer: its store, then its dual-output store
  std::vector<fb::SKipDmaInfoTrack> loads;
};

// The entries of the pass `layers`, in layer order. A layer whose mapping is not a
// LayerMapping contributes nothing. Store entries take depth and index from the mapping's
// store records (zeros when a record is absent), load entries depth gap and index.
//
// Word counts, with ceil32(a) = (a + 31) >> 5 and all arithmetic in u32, over the input
// (d0, d1, d2) and output (o0, o1, o2) dimensions and bit widths ib, ob:
//   store:             TNP_B layer ceil32(ib * d2) * d0 * d1; others ceil32(ob * o2) * o0 * o1
//   dual-output store: TNP_B layer ceil32(ib * d2) * d0 * d1; others ceil32(ib * d0) * d1 * d2
//   load:              0
SkipDmaEntries skip_dma_entries(const std::vector<std::shared_ptr<Layer>>& layers);

}  // namespace ornix
