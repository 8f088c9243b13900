#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "ornix/hw/ident.h"
#include "program/record.h"

// The DMA blocks of a track or of a record, read back from their headers, for the recorder
// tests.
namespace ornix::v2::test {

struct DmaBlock {
  hw::Ident ident;
  uint32_t target;
  uint32_t address;
  std::vector<uint32_t> words;
  bool operator==(const DmaBlock&) const = default;
};

// Header: word 0 [7:0] col | [15:8] row | [23:16] id | [31:24] channel;
// word 1 [15:0] address | [19:16] target | [20] size in 16-word units | [31:21] size.
inline std::vector<DmaBlock> dma_blocks(std::span<const uint32_t> track) {
  std::vector<DmaBlock> out;
  for (auto at = track.begin(); at + 1 < track.end();) {
    const uint32_t size = (at[1] >> 21) * ((at[1] >> 20 & 1) != 0 ? 16 : 1);
    const hw::Ident ident{uint8_t(at[0]), uint8_t(at[0] >> 8), uint8_t(at[0] >> 16), uint8_t(at[0] >> 24)};
    out.push_back({ident, at[1] >> 16 & 0xF, at[1] & 0xFFFF, std::vector<uint32_t>(at + 2, at + 2 + size)});
    at += 2 + size;
  }
  return out;
}

// Every block of the record, across its tracks.
inline std::vector<DmaBlock> dma_blocks(const program::Record& record) {
  std::vector<DmaBlock> out;
  for (const program::NpTrack& track : record.tracks) {
    const std::vector<DmaBlock> more = dma_blocks(track.words);
    out.insert(out.end(), more.begin(), more.end());
  }
  return out;
}

// What the end-to-end tests compare of a block: where it goes and how many words it carries.
struct BlockShape {
  hw::Ident ident;
  uint32_t target;
  size_t size;
  bool operator==(const BlockShape&) const = default;
};

inline std::vector<BlockShape> block_shapes(const std::vector<uint32_t>& track) {
  std::vector<BlockShape> out;
  for (const DmaBlock& block : dma_blocks(track)) out.push_back({block.ident, block.target, block.words.size()});
  return out;
}

inline std::vector<uint32_t> targets(const std::vector<DmaBlock>& blocks) {
  std::vector<uint32_t> out;
  for (const DmaBlock& block : blocks) out.push_back(block.target);
  return out;
}

inline std::string overflow(uint64_t value, uint32_t width) {
  return "Attempted to write value " + std::to_string(value) + " into a " + std::to_string(width) +
         "-bit field, which will cause an overflow.";
}

}  // namespace ornix::v2::test
