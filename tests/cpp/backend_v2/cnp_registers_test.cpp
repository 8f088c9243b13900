#include <gtest/gtest.h>

#include <array>
#include <exception>
#include <functional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "backend/v2/channel_variables.h"
#include "backend/v2/cnp_register_format.h"
#include "mapping/layer_mapping.h"
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
using Block = std::array<uint32_t, kNpRegisterWords>;
using Words = std::vector<uint32_t>;

hw::Component component(hw::Type type, uint8_t col, uint8_t row, uint8_t id) {
  return {type, {col, row, id, 0}, std::nullopt, {}};
}

Block block_with(std::initializer_list<std::pair<std::size_t, uint32_t>> words) {
  Block block{};
  for (const auto& [word, value] : words) block[word] = value;
  return block;
}

// Split values set by hand: padded origin row 5, column 6; window 7 rows x 9 columns (input
// container 12); row phase 1, column phase 0; offsets -1 and 3; padded 10 x 13; pooled output
// window from row 2, column 3, 4 rows, 5 columns.
NpSplit hand_split() {
  const NpSpace whole{0, 0, Shape{16, 16, 4}};
  NpSplit split(Shape{16, 16, 4}, whole, whole, 3, 1, {}, 1, 1, {});
  static_cast<NpWindowGeometry&>(split) = {5, 6, 7, 9, 4, 1, 0, static_cast<uint32_t>(-1), 3, 10, 13};
  split.out_row_origin = 2;
  split.out_col_origin = 3;
  split.out_rows = 4;
  split.out_cols = 5;
  return split;
}

// The common configuration's other arguments.
struct Config {
  int kernel_size = 3;
  int kernel_stride = 2;
  ActivationType activation = ActivationType::ReLU;
  uint32_t first_neuron = 16;
  uint32_t neurons = 8;
  uint8_t weights_bits = 4;
  std::vector<hw::Component> layer_nps = {component(hw::Type::CNP2, 3, 1, 0), component(hw::Type::CNP2, 3, 1, 1),
                                          component(hw::Type::CNP2, 4, 1, 0)};
  bool single_buffer = true;
  bool transposed = false;
  uint8_t input_bits = 8;
  uint8_t output_bits = 4;
  const MergeLayerMapInfo* merge = nullptr;
  const hw::Component* load = nullptr;
  const hw::Component* dual_store = nullptr;
  bool common_flag = true;
  bool with_merge_fields = false;
};

void format(Block& block, const CnpSplitFields& split, const Config& c) {
  format_cnp_tnp_common_config_registers(block, split, c.kernel_size, c.kernel_stride, c.activation, c.first_neuron,
                                         c.neurons, c.weights_bits, c.layer_nps, c.single_buffer, c.transposed,
                                         c.input_bits, c.output_bits, c.merge, c.load, c.dual_store, c.common_flag,
                                         c.with_merge_fields);
}

TEST(CommonConfig, WritesTheWindowCodesKernelAndNeurons) {
  Block block{};
  format(block, hand_split(), Config{});
  const Block kStride2Kernel3Relu4bitWeights = block_with({
      {1, 0x20400000},   // common flag, single buffer
      {3, 0x0003A02B},   // input code 3, 4-bit weights (bit 3, code 2), output code 2, ReLU, 3 NPs
      {4, 0x80000000},   //
      {8, 0x30097007},   // 7 rows, offset -1 (code 7), 9 columns, offset 3
      {9, 0x00061005},   // origin row 5 with its phase bit, column 6
      {10, 0x000D000A},  // padded 10 x 13
      {11, 0x0000000C},  // input container 12
      {20, 0x30000100},  // kernel 3, stride 2
      {24, 0x00030002}, {25, 0x00050004},
      {26, 0x00080010},  // filters 16 .. 23
  });
  EXPECT_EQ(block, kStride2Kernel3Relu4bitWeights);

  // A transposed split gives its doubled output window; LUT activation, 8-bit weights.
  const TransposedCnpSplit transposed(NpSpace{2, 1, Shape{4, 3, 2}}, NpSpace{2, 1, Shape{6, 5, 2}});
  block = {};
  format(block, transposed,
         {.kernel_stride = 1, .activation = ActivationType::LUT, .first_neuron = 0, .neurons = 2, .weights_bits = 8,
          .layer_nps = {component(hw::Type::CNP1, 2, 1, 0)}, .single_buffer = false, .transposed = true,
          .input_bits = 4, .output_bits = 8, .common_flag = false});
  const Block kTransposedLut8bitWeights = block_with({
      {1, 0x00100000},   // LUT
      {3, 0x000170B2},   // input code 2, 8-bit weights (bit 7, code 3), output code 3, not ReLU, 1 NP
      {4, 0x80000000}, {8, 0x00040003}, {9, 0x00020001}, {10, 0x00060005},
      {11, 0x00000008},  // 2 x 4 columns
      {20, 0x30000200},  // kernel 3, transposed
      {24, 0x00040002}, {25, 0x00080006}, {26, 0x00020000},
  });
  EXPECT_EQ(block, kTransposedLut8bitWeights);

  // Bits not named keep their value.
  block.fill(0xFFFFFFFF);
  format(block, hand_split(),
         {.kernel_stride = 1, .activation = ActivationType::NoActivation, .single_buffer = false,
          .common_flag = false});
  EXPECT_EQ(block[1], 0xDFAFFF6Fu);   // bits 4, 7, 20, 22 and 29 cleared
  EXPECT_EQ(block[4], 0x9FFFFFFFu);   // bits 29-30 cleared
  EXPECT_EQ(block[20], 0xB800F8FFu);  // bits 8-10 and 16-26 cleared, kernel 3 in bits 28-30
  EXPECT_EQ(block[52], 0xFFFFFFFFu);  // no merge fields asked for
}

TEST(CommonConfig, RefusesValuesWiderThanTheirFields) {
  Block block{};
  NpSplit split = hand_split();
  split.y_offset = static_cast<uint32_t>(-4);
  format(block, split, Config{});
  EXPECT_EQ(block[8], 0x30094007u);  // offset -4 is code 4

  const auto refusal = [&](const std::function<void(NpSplit&, Config&)>& change) {
    NpSplit s = hand_split();
    Config c;
    change(s, c);
    return thrown<std::runtime_error>([&] { format(block, s, c); });
  };
  EXPECT_EQ(refusal([](NpSplit& s, Config&) { s.y_offset = static_cast<uint32_t>(-5); }),
            "-5 cannot fit in a 3 bits signed integer.");
  EXPECT_EQ(refusal([](NpSplit& s, Config&) { s.width = 253; }), overflow(256, 8));  // input container
  EXPECT_EQ(refusal([](NpSplit&, Config& c) { c.neurons = 1024; }), overflow(1024, 10));
}

MergeLayerMapInfo merge_info(bool is_add, uint32_t channel_id, bool not_first, bool dual, uint8_t dual_stream) {
  MergeLayerMapInfo merge;
  merge.is_add = is_add;
  merge.channel_id = channel_id;
  merge.not_first_in_pass = not_first;
  merge.dual_output = dual;
  merge.dual_output_channel_id = dual_stream;
  return merge;
}

// Words 47, 48, 52 and 53 before the merge fields are written.
Block merge_seed() { return block_with({{47, 0x00001234}, {48, 0x55555555}, {52, 0x00AA0000}, {53, 0xFFFFFFFF}}); }

TEST(MergeFields, LoadAndDualOutputStore) {
  // Without a merge only word 52 bit 7 is set.
  Block block = merge_seed();
  format(block, hand_split(), {.with_merge_fields = true});
  EXPECT_EQ((std::array<uint32_t, 4>{block[47], block[48], block[52], block[53]}),
            (std::array<uint32_t, 4>{0x00001234, 0x55555555, 0x00AA0080, 0xFFFFFFFF}));

  const hw::Component load = component(hw::Type::SKIP_DMA_LOAD, 5, 2, 2);
  MergeLayerMapInfo merge = merge_info(true, 9, false, false, 0);
  block = merge_seed();
  format(block, hand_split(), {.merge = &merge, .load = &load, .with_merge_fields = true});
  EXPECT_EQ(block[52], 0x00090017u);  // consumer 9, bits 0, 1, 2 and 4
  EXPECT_EQ(block[53], 0xFF470501u);  // column 5, one-hot id 4, bits 1-7 and 19 cleared
  EXPECT_EQ(block[1], 0x20400000u);   // no dual output
  EXPECT_EQ(block[48], 0x55555555u);

  // The dual-output store widens the column range of the layer's NPs (columns 3 and 4) to 6.
  const hw::Component first_load = component(hw::Type::SKIP_DMA_LOAD, 2, 1, 0);
  const hw::Component store = component(hw::Type::SKIP_DMA_STORE, 6, 1, 1);
  merge = merge_info(false, 0, true, true, 0x21);
  block = merge_seed();
  format(block, hand_split(), {.merge = &merge, .load = &first_load, .dual_store = &store, .with_merge_fields = true});
  EXPECT_EQ(block[52], 0x00000093u);
  EXPECT_EQ(block[53], 0xFF170201u);
  EXPECT_EQ(block[1], 0xA0400000u);   // bit 31: dual output
  EXPECT_EQ(block[47], 0x06031234u);
  EXPECT_EQ(block[48], 0x21250601u);  // stream 0x21, one-hot id 2, enable (bits 17-19 kept), column 6, row 1

  // A range over the input NP alone is (1, 1).
  const hw::Component hrc_store = component(hw::Type::HRC, 0, 0, 0);
  format(block, hand_split(),
         {.layer_nps = {}, .merge = &merge, .load = &first_load, .dual_store = &hrc_store, .with_merge_fields = true});
  EXPECT_EQ(block[47], 0x01011234u);
}

TEST(MergeFields, RefusesMissingComponentsAndWideValues) {
  MergeLayerMapInfo merge = merge_info(false, 0, true, true, 0);
  hw::Component load = component(hw::Type::SKIP_DMA_LOAD, 1, 1, 3);
  const hw::Component store = component(hw::Type::SKIP_DMA_STORE, 1, 1, 4);
  Block block{};
  const auto refusal = [&](const hw::Component* l, const hw::Component* s) {
    return thrown<std::runtime_error>(
        [&] { format(block, hand_split(), {.merge = &merge, .load = l, .dual_store = s, .with_merge_fields = true}); });
  };
  EXPECT_EQ(refusal(nullptr, &store), "Skip DMA load should not be null.");
  EXPECT_EQ(refusal(&load, nullptr), "Skip DMA store should not be null.");
  EXPECT_EQ(refusal(&load, &store), overflow(16, 4));  // store id 4
  merge.dual_output = false;
  merge.channel_id = 256;
  EXPECT_EQ(refusal(&load, nullptr), overflow(256, 8));
}

TEST(Pooling, EdgeBitsFollowTheWindowAndThePoolPadding) {
  const Shape input{8, 6, 4};
  Block block{};
  // Left half: first column, first and last rows.
  format_cnp_pooling_registers(block, input, NpSpace{0, 0, Shape{4, 6, 4}}, 2, 2, true, {1, 1, 1, 1}, false);
  EXPECT_EQ(block, block_with({{27, 0x0000E122}}));
  // Right half: last column; no top padding.
  block = {};
  format_cnp_pooling_registers(block, input, NpSpace{4, 0, Shape{4, 6, 4}}, 2, 2, true, {0, 1, 1, 1}, false);
  EXPECT_EQ(block, block_with({{27, 0x00005122}}));

  // Without padding no edge bit; bits 9 and 12-15 cleared, the others kept; the next layer's
  // max pooling sets word 2 bit 8.
  block.fill(0xFFFFFFFF);
  block[2] = 0x8;
  format_cnp_pooling_registers(block, input, NpSpace{0, 0, Shape{8, 6, 4}}, 1, 1, false, {}, true);
  EXPECT_EQ(block[27], 0xFFFF0C99u);
  EXPECT_EQ(block[2], 0x108u);
  EXPECT_EQ(thrown<std::runtime_error>(
                [&] { format_cnp_pooling_registers(block, input, NpSpace{}, 8, 1, true, {}, false); }),
            overflow(8, 3));
}

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

TEST(Variables, WordPairsPerChannelWithLaterFieldsWinning) {
  // Channel 1: w0 = 0x1F << 27 (max shift, then act shift -1) | -32 << 21 | 31 << 16 | 0xFE << 8 | 0xAB;
  //            w1 = 0x5A (max value over act scale 0xFF and act shift bit 5) | 1 << 8 (act scale bit 7).
  // Channel 2: w0 = 12 << 27 (act shift -20 = 0b101100 over max shift 2) | 31 << 21 | 3 << 16 | 5 << 8 | 0x7F;
  //            w1 = 0 (max value 0) | 1 << 8 (act scale 0x81 bit 7).
  const Words kChannels1To2AllVariables{0xFC1FFEAB, 0x0000015A, 0x63E3057F, 0x00000100};
  const ChannelVariables vars = all_variables();
  EXPECT_EQ(vars.format(1, 2), kChannels1To2AllVariables);
  EXPECT_EQ(vars.format(0, 0), Words{});

  // Without max values the activation scale keeps bits 1-8 over the activation shift's bit 5.
  EXPECT_EQ(format_cnp_tnp_variables(nullptr, nullptr, vars.activation_shift.get(), vars.activation_scales.get(),
                                     nullptr, nullptr, nullptr, nullptr, 2, 1),
            (Words{0x60000000, 0x00000103}));
}

TEST(Variables, RefusesValuesOutOfRangeWrongTypesAndShortTensors) {
  const auto refusal = [](const Change& change) {
    return thrown<std::runtime_error>([&] { all_variables(change).format(0, 3); });
  };
  EXPECT_EQ(refusal([](ChannelVariables& v) { v.output_shift = s8({0, 0, 32}); }),
            "32 cannot fit in a 6 bits signed integer.");
  EXPECT_EQ(refusal([](ChannelVariables& v) { v.bias_shift = u8({32, 0, 0}); }), overflow(32, 5));

  EXPECT_EQ(thrown<std::invalid_argument>([] { all_variables().format(2, 2); }),
            "A per-channel variable holds 3 values but channel 3 is read.");
}

// The in-place form announces as many words as the returned form gives and writes the same ones.
TEST(Variables, InPlaceWordsMatchTheReturnedWords) {
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
TEST(Variables, RefusedInPlaceLeavesTheTrackAsItWas) {
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
