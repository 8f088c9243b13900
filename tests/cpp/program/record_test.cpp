#include "program/record.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

namespace ornix::program {
namespace {

constexpr HwVersion kV2{0xD3, 0xA2, 0x01, 0x00};
constexpr hw::Ident kNp{1, 2, 3, 0};
constexpr hw::Ident kHrc{};

std::vector<uint32_t> words_of(size_t count) { return std::vector<uint32_t>(count, 0xABCD0000u); }

void expect_error(Record& record, const std::vector<uint32_t>& payload) {
  EXPECT_THROW(
      {
        try {
          record.add_np_track(kNp, dma::Target::FnpRam, 0, payload);
        } catch (const std::runtime_error& error) {
          EXPECT_STREQ(error.what(), "Error generating NP program.");
          throw;
        }
      },
      std::runtime_error);
}

TEST(Record, SmallBlocksShareTheFirstTrackEachWithItsHeader) {
  auto record = new_record(kV2);
  EXPECT_TRUE(record->tracks.empty());
  EXPECT_EQ(record->fnp2_filters, nullptr);
  EXPECT_EQ(record->version, kV2);

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

  NpTrack over;
  over.words.assign(63487, 7);
  EXPECT_FALSE(over.append(kNp, dma::Target::FnpRam, 0, words_of(2047), true));
  EXPECT_EQ(over.words.size(), 63487u);

  // In a record the block that misses the last track opens a new one.
  auto record = new_record(kV2);
  record->tracks.emplace_back();
  record->tracks[0].words.assign(63487, 7);
  record->add_np_track(kNp, dma::Target::FnpRam, 0, words_of(2047));
  ASSERT_EQ(record->tracks.size(), 2u);
  EXPECT_EQ(record->tracks[0].words.size(), 63487u);
  EXPECT_EQ(record->tracks[1].words.size(), 2049u);
}

TEST(Record, ExtraLargeBlockIsPaddedToSixteenWordsAndOpensItsOwnTrack) {
  NpTrack track;
  EXPECT_FALSE(track.append(kHrc, dma::Target::FnpRam, 0, words_of(2050), false));
  EXPECT_TRUE(track.words.empty());

  auto record = new_record(kV2);
  record->add_np_track(kHrc, dma::Target::RegisterWrite, 5, {0x19});
  record->add_np_track(kHrc, dma::Target::FnpRam, 0, words_of(2050));

  ASSERT_EQ(record->tracks.size(), 2u);
  EXPECT_EQ(record->tracks[0].words.size(), 3u);
  const std::vector<uint32_t>& xl = record->tracks[1].words;
  ASSERT_EQ(xl.size(), 2u + 2064u);  // 2050 words padded with 14 zeros
  EXPECT_EQ(xl[0], 0u);
  EXPECT_EQ(xl[1], 0x10360000u);  // target 6 << 16 | xl << 20 | 129 units << 21
  EXPECT_EQ(xl[2 + 2049], 0xABCD0000u);
  EXPECT_EQ(xl[2 + 2050], 0u);
  EXPECT_EQ(xl.back(), 0u);

  // The next small block follows it in the same track.
  record->add_np_track(kHrc, dma::Target::RegisterWrite, 5, {0x19});
  EXPECT_EQ(record->tracks.size(), 2u);
  EXPECT_EQ(record->tracks[1].words.size(), 2066u + 3u);
}

TEST(Record, BlockThatNoFreshTrackTakesFailsAndLeavesTheEmptyTracks) {
  // The first block needs the extra-large form: the empty first track stays.
  auto largest = new_record(kV2);
  largest->add_np_track(kNp, dma::Target::FnpRam, 0, words_of(32752));
  ASSERT_EQ(largest->tracks.size(), 2u);
  EXPECT_TRUE(largest->tracks[0].words.empty());
  EXPECT_EQ(largest->tracks[1].words.size(), 32754u);

  // Beyond the largest size the header can state.
  auto record = new_record(kV2);
  expect_error(*record, words_of(32753));
  ASSERT_EQ(record->tracks.size(), 2u);
  EXPECT_TRUE(record->tracks[0].words.empty());
  EXPECT_TRUE(record->tracks[1].words.empty());

  expect_error(*record, words_of(65533));
  EXPECT_EQ(record->tracks.size(), 3u);
}

TEST(Record, SecondFiltersTrackReplacesTheFirst) {
  auto record = new_record(kV2);
  record->add_fnp2_filters_track(kNp, {1, 2, 3});
  record->add_fnp2_filters_track(hw::Ident{4, 5, 0, 0}, {9});
  ASSERT_NE(record->fnp2_filters, nullptr);
  EXPECT_EQ(record->fnp2_filters->ident, (hw::Ident{4, 5, 0, 0}));
  EXPECT_EQ(record->fnp2_filters->words, std::vector<uint32_t>{9});
  EXPECT_TRUE(record->tracks.empty());
}

}  // namespace
}  // namespace ornix::program
