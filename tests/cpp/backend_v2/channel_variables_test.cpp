#include "backend/v2/channel_variables.h"

#include <gtest/gtest.h>

#include <exception>
#include <functional>
#include <string>
#include <vector>

#include "backend_v2/dma_blocks.h"
#include "backend_v2/register_format_fixtures.h"
#include "engine/layer_fixtures.h"
#include "program/record.h"
#include "program/thrown.h"

namespace ornix::v2 {
namespace {

using program::thrown;
using test::overflow;
using test::s8;
using test::u8;
using Words = std::vector<uint32_t>;
using Change = std::function<void(ChannelVariables&)>;

constexpr HwVersion kV2{0xD3, 0xA2, 0x01, 0x00};
const hw::Ident kNp{3, 1, 0, 0};

// The variables of a layer that has none.
ChannelVariables no_variables() {
  return ChannelVariables(*ornix::test::make_layer(LayerType::Conv2D, {{"kernel_size", 1}, {"filters", 3}}, "conv"));
}

// Three channels of every per-channel variable.
ChannelVariables all_variables(const Change& change = {}) {
  ChannelVariables vars = no_variables();
  vars.output_scales = u8({10, 0xAB, 0x7F});
  vars.bias = s8({1, -2, 5});
  vars.bias_shift = u8({0, 31, 3});
  vars.output_shift = s8({0, -32, 31});
  vars.max_value_shift = u8({0, 31, 2});
  vars.activation_shift = s8({0, -1, -20});
  vars.activation_scales = u8({0, 0xFF, 0x81});
  vars.max_value = u8({0, 0x5A, 0});
  if (change) change(vars);
  return vars;
}

// The in-place form announces as many words as the returned form gives and writes the same ones.
TEST(ChannelVariables, InPlaceWordsMatchTheReturnedWords) {
  const struct {
    const char* name;
    Change change;
    uint32_t first;
    uint32_t count;
  } cases[] = {
      {"every variable", {}, 0, 3},
      {"channels 1 and 2", {}, 1, 2},
      {"no channel", {}, 2, 0},
      {"no variable", [](ChannelVariables& v) { v = no_variables(); }, 0, 3},
      {"activation without max value",
       [](ChannelVariables& v) {
         v.max_value = nullptr;
         v.max_value_shift = nullptr;
       },
       1, 2},
  };
  for (const auto& c : cases) {
    const ChannelVariables vars = all_variables(c.change);
    const Words returned = vars.format(c.first, c.count);
    ASSERT_EQ(ChannelVariables::words(c.count), returned.size()) << c.name;
    Words in_place(returned.size(), 0);
    vars.write(c.first, c.count, in_place);
    EXPECT_EQ(in_place, returned) << c.name;
  }
  Words wrong(5, 0);
  EXPECT_EQ(thrown<std::invalid_argument>([&] { all_variables().write(0, 3, wrong); }),
            "The variables of 3 channels take 6 words, not 5.");
  EXPECT_EQ(wrong, Words(5, 0));
}

// A variable refused while it is written straight into a track raises what the returned form
// raises and leaves the track as it was: the next block takes the words it gave back as zeros.
TEST(ChannelVariables, RefusedInPlaceLeavesTheTrackAsItWas) {
  const struct {
    const char* name;
    Change change;
    std::string refused;
  } cases[] = {
      {"output shift above 31", [](ChannelVariables& v) { v.output_shift = s8({0, 0, 32}); },
       "32 cannot fit in a 6 bits signed integer."},
      {"output shift below -32", [](ChannelVariables& v) { v.output_shift = s8({0, -33, 0}); },
       "-33 cannot fit in a 6 bits signed integer."},
      {"activation shift below -32", [](ChannelVariables& v) { v.activation_shift = s8({0, 0, -33}); },
       "-33 cannot fit in a 6 bits signed integer."},
      {"bias shift above 31", [](ChannelVariables& v) { v.bias_shift = u8({0, 32, 0}); }, overflow(32, 5)},
      {"max value shift above 31", [](ChannelVariables& v) { v.max_value_shift = u8({0, 0, 40}); }, overflow(40, 5)},
      {"short tensor", [](ChannelVariables& v) { v.bias = s8({1, 2}); },
       "A per-channel variable holds 2 values but channel 2 is read."},
      {"wrong element type", [](ChannelVariables& v) { v.bias_shift = s8({0, 1, 2}); },
       "Wrong requested type uint8 for a tensor of type int8."},
  };
  const Words registers{0x11, 0x22, 0x33};
  for (const auto& c : cases) {
    const ChannelVariables vars = all_variables(c.change);
    EXPECT_EQ(thrown<std::exception>([&] { vars.format(0, 3); }), c.refused) << c.name;

    auto record = program::new_record(kV2);
    record->add_np_track(kNp, dma::Target::NpRegisters, 0, registers);
    const Words before(record->tracks.back().words.begin(), record->tracks.back().words.end());
    EXPECT_EQ(thrown<std::exception>([&] {
                record->add_np_track(kNp, dma::Target::ChannelVariables, 0, ChannelVariables::words(3),
                                     [&](std::span<uint32_t> words) { vars.write(0, 3, words); });
              }),
              c.refused)
        << c.name;
    ASSERT_EQ(record->tracks.size(), 1u) << c.name;
    EXPECT_EQ(Words(record->tracks.back().words.begin(), record->tracks.back().words.end()), before) << c.name;

    const ChannelVariables valid = all_variables();
    record->add_np_track(kNp, dma::Target::ChannelVariables, 0, ChannelVariables::words(3),
                         [&](std::span<uint32_t> words) { valid.write(0, 3, words); });
    EXPECT_EQ(test::dma_blocks(*record),
              (std::vector<test::DmaBlock>{{kNp, 7, 0, registers}, {kNp, 5, 0, valid.format(0, 3)}}))
        << c.name;
  }
}

}  // namespace
}  // namespace ornix::v2
