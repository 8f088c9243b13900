#include "program/planned_blocks.h"

namespace ornix::program {

namespace {

// The words, headers included, of the blocks that join each block's track after it.
std::vector<size_t> words_after(const std::vector<PlannedBlock>& blocks) {
  std::vector<size_t> after(blocks.size());
  size_t following = 0;
  for (size_t i = blocks.size(); i-- > 0;) {
    after[i] = following;
    const size_t words = blocks[i].words;
    const bool own_track = words > UINT32_MAX || dma::config_block_size_needs_xl(static_cast<uint32_t>(words));
    following = own_track ? 0 : following + dma::kHeaderWords + words;
  }
  return after;
}

}  // namespace

void add_planned_blocks(Record& record, const std::vector<PlannedBlock>& blocks) {
  const std::vector<size_t> after = words_after(blocks);
  for (size_t i = 0; i < blocks.size(); ++i) {
    const PlannedBlock& block = blocks[i];
    if (block.copied != nullptr) {
      record.add_np_track(block.ident, block.target, block.address, *block.copied, after[i]);
    } else {
      record.add_np_track(block.ident, block.target, block.address, block.words, block.write, after[i]);
    }
  }
}

}  // namespace ornix::program
