#pragma once

// The configuration of a layer's skip-DMA channels, added to the layer's program record: the
// store channel that saves its output (or the frame history of a TNP-B layer) to external
// memory, the store of a dual-output layer's second output, and the load channel that reads
// stored data back for the layer. Registers and fields are in skip_dma_registers.h.
//
// Each channel's registers are composed into a SkipDmaRegisters map first and added to the
// record only when all of them are known, one block per register (DMA target 11, addressed to
// the skip-DMA component's ident), in ascending order of address. A value wider than its field
// panics "Attempted to write value V into a W-bit field, which will cause an overflow."
// (std::runtime_error) and adds nothing.

#include <cstddef>
#include <cstdint>
#include <map>
#include <vector>

#include "hardware/component.h"
#include "ornix/layer.h"
#include "program/planned_blocks.h"
#include "program/record.h"

namespace ornix::v2 {

// Register address (16 bits) -> the words written there. A second write to an address already
// present is ignored: the first one wins.
using SkipDmaRegisters = std::map<uint16_t, std::vector<uint32_t>>;

// The target word naming the NPs a channel serves. One component: mode 2, the one-hot code of
// its ident id (ids 0 to 3; a larger id panics with the 4-bit overflow message), its row and
// column. Several: mode 1, the smallest and the largest ident column. An empty list:
// std::invalid_argument.
uint32_t format_skipdma_target_word(const std::vector<hw::Component>& components);

// Adds the load channel's descriptor registers of channel `channel` to `out`: the shared word,
// the descriptor (the target word of `nps`, `consumer_id`, `stream_id`) and the channel offset.
// Every component of `nps` must have an NP allocation, else std::invalid_argument "Merging
// layer has no CNPs."; consumer_id must fit 8 bits and channel_offset 12. On failure `out` is
// left unchanged.
void format_skipdma_load_registers(SkipDmaRegisters& out, uint8_t channel, uint8_t stream_id, uint32_t consumer_id,
                                   const std::vector<hw::Component>& nps, uint32_t channel_offset);

// Adds the blocks of one store channel of `layer` to *record: of the first-output store, or of
// the dual-output store when `dual_output`. `tnp_b` says that the layer runs on TNP-B, whose
// FIFO holds `fifo_size` frames (at most 15; ignored for other layers). The store must exist
// (std::runtime_error "Skip DMA store should not be null."), and a first-output store needs the
// mapping's store information. The stored data's line (at most 1023 words) and block (at most
// 2097151 words) come from the output of an ordinary store and from the input otherwise.
void record_skipdma_store(program::Record* record, const Layer& layer, bool dual_output, bool tnp_b,
                          uint32_t fifo_size);

// Adds every skip-DMA block of `layer` to *record, in this order: for a TNP-B layer two fixed
// blocks on its load channel, then the store channel, the dual-output store channel and the load
// channel, each when the layer's mapping has it. A layer without skip-DMA components that is not
// on TNP-B adds nothing. A TNP-B layer must have a load (std::runtime_error "Skip DMA load should
// not be null.") and a "fifo_size" parameter of at most 15; a load needs the mapping's load
// information. Every block is formatted before any is added, so a failure adds none.
//
// `record` must not be null and `layer` must carry a LayerMapping (std::invalid_argument
// otherwise, for both functions above as well).
void record_skipdma(program::Record* record, const Layer& layer);

// The blocks record_skipdma adds for a layer, formatted (failing as it does) and not yet added,
// so that a recorder can plan them with its own blocks.
class SkipDmaBlocks {
 public:
  // One block per register of `registers`, in their order, addressed to `ident`.
  void add(const hw::Ident& ident, const SkipDmaRegisters& registers);
  void add_to(program::Record& record) const;
  // Appends the blocks to `blocks`, copied from this object, which must outlive them.
  void plan(std::vector<program::PlannedBlock>* blocks) const;

 private:
  struct Block {
    hw::Ident ident;
    uint16_t address;
    std::vector<uint32_t> words;
  };
  std::vector<Block> blocks_;
};

SkipDmaBlocks skipdma_blocks(const Layer& layer);

}  // namespace ornix::v2
