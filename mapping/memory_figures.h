#pragma once

#include "mapping/memory_sizer.h"
#include "ornix/sequence.h"

namespace ornix {

// Writes the memory figures of every component of a built sequence's layers, as the sizer
// gives them: each component of a layer's `nps`, then its dual-output skip-DMA store, then its
// skip-DMA store (loads keep zero figures). The input layer handed to the sizer is the first
// layer of the first pass; "several passes" is whether the sequence has more than one. Every
// layer holds its LayerMapping (std::logic_error otherwise); errors of the sizer pass out,
// leaving the figures written so far.
void fill_memory_figures(const Sequence& sequence, const MemorySizer& sizer);

}  // namespace ornix
