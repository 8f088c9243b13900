#include "program/track_arena.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <span>
#include <stdexcept>
#include <vector>

#include "program/limits.h"
#include "program/record.h"

namespace ornix::program {
namespace {

constexpr HwVersion kV2{0xD3, 0xA2, 0x01, 0x00};
constexpr hw::Ident kNp{1, 2, 3, 0};

// Requests from a few words to past a large page, in an order that makes the arena open heap
// and large-page blocks: every piece is aligned, reads as zeros, and overlaps no other piece.
TEST(TrackArena, PiecesAreAlignedZeroAndApartAcrossBlocks) {
  TrackArena arena;
  const size_t sizes[] = {4, 100, kTrackArenaFirstBlockBytes - 8, 64, kLargePageBytes + 12, 3 * kLargePageBytes, 7};
  std::vector<std::span<uint8_t>> pieces;
  for (size_t bytes : sizes) {
    auto* piece = static_cast<uint8_t*>(arena.allocate(bytes));
    EXPECT_EQ(reinterpret_cast<uintptr_t>(piece) % kTrackArenaAlignment, 0u) << bytes;
    EXPECT_TRUE(std::all_of(piece, piece + bytes, [](uint8_t b) { return b == 0; })) << bytes;
    std::fill(piece, piece + bytes, static_cast<uint8_t>(pieces.size() + 1));
    pieces.emplace_back(piece, bytes);
  }
  for (size_t i = 0; i < pieces.size(); ++i) {
    EXPECT_TRUE(std::all_of(pieces[i].begin(), pieces[i].end(), [&](uint8_t b) { return b == i + 1; })) << sizes[i];
  }
}

// With and without an arena: a writer that scribbles over its payload and fails leaves the
// track as it was, and the next block still gets a zero-filled payload where the failed one lay.
TEST(TrackArena, FailedWriterLeavesZerosForTheNextBlock) {
  for (const bool in_arena : {false, true}) {
    std::unique_ptr<Record> record;
    {
      const TrackArenaScope scope(in_arena ? std::make_shared<TrackArena>() : nullptr);
      record = new_record(kV2);
      record->add_np_track(kNp, dma::Target::NpRegisters, 0, {1, 2});
      EXPECT_THROW(record->add_np_track(kNp, dma::Target::FnpRam, 0, 40,
                                        [](std::span<uint32_t> words) {
                                          std::fill(words.begin(), words.end(), 0xFFFFFFFFu);
                                          throw std::runtime_error("packer refused");
                                        }),
                   std::runtime_error);
      ASSERT_EQ(record->tracks[0].words.size(), 4u) << in_arena;
      record->add_np_track(kNp, dma::Target::FnpRam, 0, 40, [&](std::span<uint32_t> words) {
        EXPECT_TRUE(std::all_of(words.begin(), words.end(), [](uint32_t w) { return w == 0; })) << in_arena;
      });
    }
    // The record outlives the scope and the arena's other owners: its words stay readable.
    EXPECT_EQ(record->tracks[0].words.size(), 4u + 2u + 40u) << in_arena;
    EXPECT_EQ(record->tracks[0].words[2], 1u) << in_arena;
    EXPECT_EQ(record->tracks[0].words.get_allocator().arena() != nullptr, in_arena);
  }
}

// Scopes nest: the innermost arena is current, and the outer one again once it ends.
TEST(TrackArena, ScopesNestAndRestoreTheOuterArena) {
  const auto outer = std::make_shared<TrackArena>();
  const auto inner = std::make_shared<TrackArena>();
  EXPECT_EQ(TrackArena::current(), nullptr);
  {
    const TrackArenaScope a(outer);
    {
      const TrackArenaScope b(inner);
      EXPECT_EQ(TrackArena::current(), inner);
    }
    EXPECT_EQ(TrackArena::current(), outer);
  }
  EXPECT_EQ(TrackArena::current(), nullptr);
}

}  // namespace
}  // namespace ornix::program
