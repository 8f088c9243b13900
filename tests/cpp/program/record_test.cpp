#include "program/record.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <span>
#include <stdexcept>
#include <utility>
#include <vector>

#include "program/thrown.h"

namespace ornix::program {
namespace {

constexpr HwVersion kV2{0xD3, 0xA2, 0x01, 0x00};
constexpr hw::Ident kNp{1, 2, 3, 0};
constexpr hw::Ident kHrc{};

std::vector<uint32_t> words_of(size_t count) { return std::vector<uint32_t>(count, 0xABCD0000u); }

std::string add_error(Record& record, size_t count) {
  return thrown<std::runtime_error>([&] { record.add_np_track(kNp, dma::Target::FnpRam, 0, words_of(count)); });
}

TEST(Record, SmallBlocksShareATrackEachWithItsHeader) {
  auto record = new_record(kV2);
  record->add_np_track(kNp, dma::Target::NpRegisters, 0x10, {0xA, 0xB});
  record->add_np_track(kHrc, dma::Target::RegisterWrite, 5, {0x19});
  ASSERT_EQ(record->tracks.size(), 1u);
  // word 0: col | row << 8 | id << 16; word 1: address | target << 16 | size << 21
  const std::vector<uint32_t> expected{0x00030201, 0x00470010, 0xA, 0xB, 0x00000000, 0x00280005, 0x19};
  EXPECT_EQ(record->tracks[0].words, expected);
}

TEST(Record, PlainBlockFitsExactlyWhenHeaderAndPayloadReachTheTrackLimit) {
  NpTrack full;
  full.words.assign(63486, 7);  // 63486 + 2 + 2047 = 65535
  EXPECT_TRUE(full.append(kNp, dma::Target::FnpRam, 0, words_of(2047), false));
  EXPECT_EQ(full.words.size(), 65535u);

  // One word more: the block opens a new track and the last one is left as it was.
  auto record = new_record(kV2);
  record->tracks.emplace_back();
  record->tracks[0].words.assign(63487, 7);
  record->add_np_track(kNp, dma::Target::FnpRam, 0, words_of(2047));
  ASSERT_EQ(record->tracks.size(), 2u);
  EXPECT_EQ(record->tracks[0].words.size(), 63487u);
  EXPECT_EQ(record->tracks[1].words.size(), 2049u);
}

TEST(Record, ExtraLargeBlockIsPaddedToSixteenWordsAndOpensItsOwnTrack) {
  auto record = new_record(kV2);
  record->add_np_track(kHrc, dma::Target::RegisterWrite, 5, {0x19});
  record->add_np_track(kHrc, dma::Target::FnpRam, 0, words_of(2050));
  ASSERT_EQ(record->tracks.size(), 2u);
  const TrackWords& xl = record->tracks[1].words;
  ASSERT_EQ(xl.size(), 2u + 2064u);  // 2050 words padded with 14 zeros
  EXPECT_EQ(xl[1], 0x10360000u);     // target 6 << 16 | xl << 20 | 129 units << 21
  EXPECT_EQ(xl[2 + 2049], 0xABCD0000u);
  EXPECT_EQ(xl[2 + 2050], 0u);
  EXPECT_EQ(xl.back(), 0u);

  // The next small block follows it in the same track.
  record->add_np_track(kHrc, dma::Target::RegisterWrite, 5, {0x19});
  EXPECT_EQ(record->tracks.size(), 2u);
  EXPECT_EQ(record->tracks[1].words.size(), 2066u + 3u);
}

TEST(Record, BlockThatNoFreshTrackTakesFailsAndLeavesTheEmptyTracks) {
  // The largest block a track holds (the empty first track stays); it leaves 13 words free, so
  // a block of 12 words opens the next track.
  auto largest = new_record(kV2);
  largest->add_np_track(kNp, dma::Target::FnpRam, 0, words_of(65520));
  largest->add_np_track(kNp, dma::Target::FnpRam, 0, words_of(12));
  ASSERT_EQ(largest->tracks.size(), 3u);
  EXPECT_TRUE(largest->tracks[0].words.empty());
  EXPECT_EQ(largest->tracks[1].words.size(), 65522u);
  EXPECT_EQ(largest->tracks[2].words.size(), 14u);

  auto record = new_record(kV2);
  EXPECT_EQ(add_error(*record, 65521), "Error generating NP program.");
  ASSERT_EQ(record->tracks.size(), 2u);
  EXPECT_TRUE(record->tracks[0].words.empty() && record->tracks[1].words.empty());
  EXPECT_EQ(add_error(*record, 65533), "Error generating NP program.");
  EXPECT_EQ(record->tracks.size(), 3u);
}

TEST(Record, SecondFiltersTrackReplacesTheFirst) {
  auto record = new_record(kV2);
  record->add_fnp2_filters_track(kNp, std::vector<uint32_t>{1, 2, 3});
  record->add_fnp2_filters_track(hw::Ident{4, 5, 0, 0}, std::vector<uint32_t>{9});
  ASSERT_NE(record->fnp2_filters, nullptr);
  EXPECT_EQ(record->fnp2_filters->ident, (hw::Ident{4, 5, 0, 0}));
  EXPECT_EQ(record->fnp2_filters->words, std::vector<uint32_t>{9});
  EXPECT_TRUE(record->tracks.empty());
}

// A payload written in place is the payload added as words: the same blocks, in the same tracks,
// plain and extra-large; a writer that fails leaves the track as it was.
TEST(Record, PayloadsWrittenInPlaceMatchPayloadsAddedAsWords) {
  const struct {
    const char* name;
    std::vector<size_t> blocks;  // payload words, added in order
  } cases[] = {
      {"two small blocks share a track", {3, 5}},
      {"an extra-large block opens its own track, a small one follows it", {2, 2100, 4}},
      {"an empty payload still gets its header", {0, 1}},
  };
  for (const auto& c : cases) {
    auto as_words = new_record(kV2);
    auto in_place = new_record(kV2);
    for (size_t n : c.blocks) {
      std::vector<uint32_t> payload(n);
      for (size_t i = 0; i < n; ++i) payload[i] = static_cast<uint32_t>(n * 1000 + i);
      as_words->add_np_track(kNp, dma::Target::FnpRam, 0, payload);
      in_place->add_np_track(kNp, dma::Target::FnpRam, 0, n, [&](std::span<uint32_t> words) {
        ASSERT_EQ(words.size(), n);
        for (uint32_t word : words) ASSERT_EQ(word, 0u);  // zero-filled for the packer
        std::copy(payload.begin(), payload.end(), words.begin());
      });
    }
    ASSERT_EQ(in_place->tracks.size(), as_words->tracks.size()) << c.name;
    for (size_t t = 0; t < as_words->tracks.size(); ++t) {
      EXPECT_EQ(in_place->tracks[t].words, as_words->tracks[t].words) << c.name << ", track " << t;
    }
  }

  auto record = new_record(kV2);
  record->add_np_track(kNp, dma::Target::NpRegisters, 0, {1, 2});
  const TrackWords before = record->tracks[0].words;
  EXPECT_EQ(thrown<std::runtime_error>([&] {
              record->add_np_track(kNp, dma::Target::FnpRam, 0, 3,
                                   [](std::span<uint32_t>) { throw std::runtime_error("packer refused"); });
            }),
            "packer refused");
  EXPECT_EQ(record->tracks[0].words, before);
}

// Room kept for the blocks announced after an in-place block: they join its track without
// moving the words already written (the payload is written once).
TEST(Record, TrackKeepsRoomForTheBlocksAnnouncedAfterIt) {
  auto record = new_record(kV2);
  const size_t weights = 4096;
  const std::vector<size_t> after = {8, 300, 2};
  size_t words_after = 0;
  for (size_t n : after) words_after += dma::kHeaderWords + n;
  record->add_np_track(kNp, dma::Target::CnpWeights, 0, weights, [](std::span<uint32_t>) {}, words_after);
  const uint32_t* written = record->tracks.back().words.data();
  for (size_t n : after) record->add_np_track(kNp, dma::Target::ChannelVariables, 0, words_of(n));
  EXPECT_EQ(record->tracks.back().words.data(), written);
  EXPECT_EQ(record->tracks.back().words.size(), dma::kHeaderWords + weights + words_after);
}

// Filters are written in place into a zero-filled span of their size; a writer that fails
// leaves the filters track the record had.
TEST(Record, FiltersAreWrittenInPlaceOrNotAtAll) {
  const std::vector<uint32_t> filters = words_of(1000);
  auto record = new_record(kV2);
  record->add_fnp2_filters_track(kNp, filters.size(), [&](std::span<uint32_t> words) {
    ASSERT_EQ(words.size(), filters.size());
    EXPECT_TRUE(std::all_of(words.begin(), words.end(), [](uint32_t word) { return word == 0; }));
    std::copy(filters.begin(), filters.end(), words.begin());
  });
  EXPECT_EQ(record->fnp2_filters->words, filters);

  EXPECT_EQ(thrown<std::runtime_error>([&] {
              record->add_fnp2_filters_track(kHrc, 3, [](std::span<uint32_t>) { throw std::runtime_error("refused"); });
            }),
            "refused");
  EXPECT_EQ(record->fnp2_filters->ident, kNp);
  EXPECT_EQ(record->fnp2_filters->words, filters);
}

}  // namespace
}  // namespace ornix::program
