#include "backend/v2/fnp_recording.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "backend/v2/fnp_input_layout.h"
#include "backend/v2/fnp_input_slots.h"
#include "backend/v2/fnp_limits.h"
#include "backend/v2/fnp_payloads.h"
#include "backend/v2/fnp_register_format.h"
#include "backend_v2/dma_blocks.h"
#include "backend_v2/register_format_fixtures.h"
#include "engine/layer_fixtures.h"
#include "mapping/layer_mapping.h"
#include "support/fake_mapping.h"
#include "support/fake_mesh_device.h"

// The layer under test: an input of 1 x 1 x 3 values -> Dense1D of 2 neurons, 4-bit weights,
// 4-bit output, ReLU, mapped by hand on one FNP at column 5, fed by and feeding the DMA at
// column 1. Weights [k][n] = {1, -1}, {-8, 2}, {7, -3}; bias {-2, 5}, bias shift {1, 2},
// output scales {3, 4}, output shift {-1, 2}; input shifts {1, 2, 3}.

namespace ornix::v2 {
namespace {

using ornix::test::make_layer;
using ornix::test::throws_text;
using Words = std::vector<uint32_t>;
using Components = std::vector<hw::Component>;

constexpr HwVersion kV2{0xD3, 0xA2, 0x01, 0x00};
const hw::Ident kFnp{5, 1, 0, 0};

using test::targets;
using Block = test::DmaBlock;

// The block of the Packed FNP3 layer: the NP defaults with layer id 3; word 1 bits 4, 22 (single
// buffer), 24 (FNP3); word 3: codes 3 (8-bit in), 2 (4-bit weights), 2 (4-bit out), bits 7, 15
// (ReLU) and 16; one row of one column; one input word; 2 neurons of 3 words; 6 image words mod a
// budget of 4 = 2, FNP3 in word 17; routing value 4 to column 1, from column 1, columns 1 to 5.
Words fnp3_packed_block() {
  Words block(64, 0);
  for (const auto& [word, value] : std::vector<std::pair<size_t, uint32_t>>{
           {1, 0x01400030},  {2, 0x00000008},  {3, 0x0301A0A3},  {5, 0x00130100},  {6, 0x08040000},
           {10, 0x00010001}, {12, 0x52000000}, {13, 0x00000010}, {14, 0xA0000001}, {15, 0x00030002},
           {17, 0x00100002}, {37, 0xFF000000}, {44, 0xFF080008}, {45, 0x04000101}, {46, 0x00000101},
           {47, 0x00000501}, {56, 0x00800000}, {57, 0x00000040}}) {
    block[word] = value;
  }
  return block;
}
// Neuron 0: bias -2, bias shift 1 | scale 3, shift -1 | weights 1, -8, 7 in nibbles 0-2; neuron 1.
const Words kPacked3Inputs2NeuronsImage{0x000001FE, 0x0000FF03, 0x00000781, 0x00000205, 0x00000204, 0x00000D2F};
const Words kPacked3InputShifts{0x00030201, 0x00000000};

// input 1 x 1 x 3 at `input_bits` [-> Conv2D 1x1 of 3 filters] -> dense.
struct DenseFixture {
  explicit DenseFixture(hw::Type type = hw::Type::FNP3, int32_t input_bits = 8, bool after_conv = false) {
    model->add(ornix::test::input_layer(1, 1, 3, "input", input_bits));
    if (after_conv) {
      conv = make_layer(LayerType::Conv2D, {{"kernel_size", 1}, {"filters", 3}, {"output_bits", input_bits}}, "conv");
      model->add(conv);
    }
    layer = make_layer(LayerType::Dense1D,
                       {{"units", 2}, {"weights_bits", 4}, {"output_bits", 4}, {"activation", 1}}, "dense");
    model->add(layer);
    Variables& variables = layer->variables();
    variables.set("weights", test::tensor<int8_t>({1, -1, -8, 2, 7, -3}, TensorType::int4, Shape{3, 2}));
    variables.set("input_shift", test::u8({1, 2, 3}));
    variables.set("bias", test::s8({-2, 5}));
    variables.set("bias_shift", test::u8({1, 2}));
    variables.set("output_scales", test::u8({3, 4}));
    variables.set("output_shift", test::s8({-1, 2}));
    mapping->layer_id = 3;
    mapping->output_id = 4;
    mapping->p2p_output = false;
    const hw::Component dma{hw::Type::DMA, {1, 1, 0, 0}, std::nullopt, {}};
    mapping->inputs = mapping->outputs = {std::make_shared<Components>(Components{dma})};
    const NpSpace whole{0, 0, Shape{1, 1, 3}};
    *mapping->nps = {{type, kFnp, NpAllocation{0, 2, whole, whole, true}, {}}};
    layer->set_mapping(mapping);
  }

  std::unique_ptr<program::Record> record(const Layer& reference, const std::vector<hw::Ident>& excluded = {},
                                          bool registers_only = false, bool ib_spikes = false) const {
    auto program = record_program_dense1d_layer(device, constraints, *layer, reference, nullptr, ib_spikes, false,
                                                excluded, registers_only);
    EXPECT_EQ(program->version, kV2);
    return program;
  }

  ornix::test::FakeMeshDevice device{kV2, Mesh(IpVersion::v2, {}, hw::Ident{1, 2, 1, 0}, std::nullopt, {}, {})};
  HardwareConstraints constraints{.fnp3_sram_size = 4};
  std::unique_ptr<Model> model = Model::create();
  std::shared_ptr<Layer> conv;
  std::shared_ptr<Layer> layer;
  std::shared_ptr<LayerMapping> mapping = LayerMapping::create();
};

TEST(FnpRecording, Fnp3GetsRegistersInputShiftsAndMemoryImageInOrder) {
  const DenseFixture f;
  const auto program = f.record(*f.layer);
  EXPECT_EQ(program->fnp2_filters, nullptr);
  const std::vector<Block> found = test::dma_blocks(*program);
  ASSERT_EQ(targets(found), (std::vector<uint32_t>{7, 2, 6}));
  for (const Block& block : found) EXPECT_EQ(block.ident, kFnp);
  EXPECT_EQ(found[0].words, fnp3_packed_block());
  EXPECT_EQ(found[1].words, kPacked3InputShifts);
  EXPECT_EQ(found[2].words, kPacked3Inputs2NeuronsImage);
}

TEST(FnpRecording, Fnp2KeepsItsImageInTheFiltersTrackAndNamesTheConfigurationDma) {
  const DenseFixture f(hw::Type::FNP2);
  const auto program = f.record(*f.layer, {}, false, true);
  const std::vector<Block> found = test::dma_blocks(*program);
  ASSERT_EQ(targets(found), (std::vector<uint32_t>{7, 2}));
  Words expected = fnp3_packed_block();
  expected[1] = 0x00400030;   // no FNP3 bit
  expected[2] = 0x00000088;   // input-buffer spikes
  expected[17] = 0x00000005;  // external memory
  expected[49] = 0x00020102;  // configuration DMA: row 2, column 1, id 1 one-hot
  EXPECT_EQ(found[0].words, expected);
  EXPECT_EQ(found[1].words, kPacked3InputShifts);
  ASSERT_NE(program->fnp2_filters, nullptr);
  EXPECT_EQ(program->fnp2_filters->ident, kFnp);
  EXPECT_EQ(program->fnp2_filters->words, kPacked3Inputs2NeuronsImage);
}

TEST(FnpRecording, ExcludedNpGetsNothingAndRegistersOnlyLeavesTheImageOut) {
  for (const hw::Type type : {hw::Type::FNP2, hw::Type::FNP3}) {
    const DenseFixture f(type);
    const auto excluded = f.record(*f.layer, {kFnp});
    EXPECT_TRUE(excluded->tracks.empty());
    EXPECT_EQ(excluded->fnp2_filters, nullptr);

    const auto parked = f.record(*f.layer, {hw::Ident{5, 1, 1, 0}}, true);
    EXPECT_EQ(parked->fnp2_filters, nullptr);
    const std::vector<Block> found = test::dma_blocks(*parked);
    ASSERT_EQ(targets(found), (std::vector<uint32_t>{7, 2}));
    EXPECT_EQ(found[0].words[3], 0xFE01A0A3u);  // parked layer id
    EXPECT_EQ(found[1].words, kPacked3InputShifts);
  }
}

// After a CNP the 4-bit input is RowAligned: each of the 3 lines holds its value and one empty
// slot (a byte), the row 2 more empty slots (a word): 8 slots. Opening the sequence, the same
// layer takes its input as a packed vector.
TEST(FnpRecording, ConvFedLayerIsRowAlignedUnlessItOpensTheSequence) {
  const DenseFixture f(hw::Type::FNP3, 4, true);
  const std::vector<Block> aligned = test::dma_blocks(*f.record(*f.conv));
  ASSERT_EQ(targets(aligned), (std::vector<uint32_t>{7, 2, 6}));
  EXPECT_EQ(aligned[0].words[3], 0x0301A0A2u);   // 4-bit input code
  EXPECT_EQ(aligned[0].words[11], 0x00001000u);  // L = 1 byte
  EXPECT_EQ(aligned[0].words[14], 0xA0000001u);  // 3 bytes in one word
  EXPECT_EQ(aligned[0].words[15], 0x00030002u);  // 8 slots of 4-bit weights: 1 word + 2
  EXPECT_EQ(aligned[0].words[28], 0x00010001u);  // L | one word per row
  EXPECT_EQ(aligned[1].words, (Words{0x00020001, 0x00000003}));
  EXPECT_EQ(aligned[2].words, (Words{0x000001FE, 0x0000FF03, 0x00070801, 0x00000205, 0x00000204, 0x000D020F}));

  const std::vector<Block> packed = test::dma_blocks(*f.record(*f.layer));
  EXPECT_EQ(packed[0].words[11], 0u);
  EXPECT_EQ(packed[0].words[28], 0u);
  EXPECT_EQ(packed[1].words, kPacked3InputShifts);
  EXPECT_EQ(packed[2].words, kPacked3Inputs2NeuronsImage);
}

// input x, y, c at `bits` -> Conv2D 1x1 of c filters -> Dense1D of one neuron.
std::shared_ptr<Layer> conv_fed_dense(Model& model, uint32_t x, uint32_t y, uint32_t c, int32_t bits,
                                      int32_t weights_bits) {
  model.add(ornix::test::input_layer(x, y, c, "input", bits));
  model.add(make_layer(LayerType::Conv2D, {{"kernel_size", 1}, {"filters", int32_t(c)}, {"output_bits", bits}}, "conv"));
  return ornix::test::add_layer(model, LayerType::Dense1D, {{"units", 1}, {"weights_bits", weights_bits}}, "dense");
}

// 3 x 2 x 3 at 4 bits: value (x, y, c) is k = 6x + 3y + c. A row holds the lines of channels
// 0, 1, 2 (3 values and one empty slot each) and 4 empty slots: 16 slots, 2 rows.
TEST(FnpPayloads, RowAlignedFourBitInputPadsLinesToBytesAndRowsToWords) {
  const auto model = Model::create();
  const auto dense = conv_fed_dense(*model, 3, 2, 3, 4, 4);
  ASSERT_EQ(get_fnp_supported_padding(*dense, false), InputPadding::RowAligned);
  std::vector<uint8_t> shifts;
  for (uint8_t k = 1; k <= 18; ++k) shifts.push_back(k);  // shift of k is k + 1
  EXPECT_EQ(format_input_shift_fnp(*test::u8(shifts), Shape{3, 2, 3}, InputPadding::RowAligned, 4),
            (Words{0x000D0701, 0x000E0802, 0x000F0903, 0, 0x00100A04, 0x00110B05, 0x00120C06, 0}));

  std::vector<int8_t> weights;  // weight of k: (k mod 15) - 7, in nibbles (-7 is 9)
  for (int8_t k = 0; k < 18; ++k) weights.push_back(static_cast<int8_t>(k % 15 - 7));
  dense->variables().set("weights", test::tensor<int8_t>(weights, TensorType::int4, Shape{18, 1}));
  // Word 1 holds the fresh layer's output scale, 1.
  EXPECT_EQ(format_fnp_ram(*dense, false, InputPadding::RowAligned, 4, 4),
            (Words{0, 1, 0x060A05F9, 0x0000071B, 0x0A3D092C, 0x00000B4E}));
}

// 5 x 1 x 2 at 8 bits: value (x, 0, c) is k = 2x + c; each line of 5 values takes two words.
TEST(FnpPayloads, ChannelRowAlignedLinesTakeWholeWords) {
  const auto model = Model::create();
  const auto dense = conv_fed_dense(*model, 5, 1, 2, 8, 8);
  const Shape shape{5, 1, 2};
  ASSERT_EQ(get_fnp_supported_padding(*dense, false), InputPadding::ChannelRowAligned);
  const auto shifts = test::u8({0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18, 0x19});
  EXPECT_EQ(format_input_shift_fnp(*shifts, shape, InputPadding::ChannelRowAligned, 8),
            (Words{0x16141210, 0x00000018, 0x17151311, 0x00000019}));
  dense->variables().set("weights", test::s8({1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, Shape{10, 1}));
  EXPECT_EQ(format_fnp_ram(*dense, false, InputPadding::ChannelRowAligned, 8, 8),
            (Words{0, 1, 0x07050301, 0x00000009, 0x08060402, 0x0000000A}));

  // One shift per channel does not cover the 10 values; word-aligned lines need 8-bit inputs.
  EXPECT_THAT([&] { format_input_shift_fnp(*test::u8({1, 2}), shape, InputPadding::ChannelRowAligned, 8); },
              throws_text<std::invalid_argument>("The input shift holds 2 values but 10 are read from index 0."));
  EXPECT_THAT([&] { format_input_shift_fnp(*shifts, shape, InputPadding::ChannelRowAligned, 4); },
              throws_text<std::runtime_error>("Wrong input_bits at FNP recording."));
}

// Weights are gathered word by word for blocks of neurons: compare the image of many neurons
// with random weights against one field written per weight, for every input layout.
TEST(FnpPayloads, ImageWeightsMatchOneFieldPerWeight) {
  struct Case {
    uint32_t x, y, c;
    int32_t input_bits, weights_bits;
    InputPadding padding;
  };
  const Case cases[] = {{3, 2, 3, 4, 4, InputPadding::RowAligned},
                        {5, 1, 2, 8, 8, InputPadding::ChannelRowAligned},
                        {5, 1, 2, 8, 4, InputPadding::ChannelRowAligned}};
  std::mt19937 random(11);
  for (const Case& c : cases) {
    const auto model = Model::create();
    conv_fed_dense(*model, c.x, c.y, c.c, c.input_bits, c.weights_bits);
    model->pop_layer();
    const auto dense = ornix::test::add_layer(*model, LayerType::Dense1D,
                                              {{"units", 130}, {"weights_bits", c.weights_bits}}, "dense");
    const uint32_t inputs = c.x * c.y * c.c;
    std::vector<int8_t> weights(size_t{inputs} * 130);
    const int lowest = -(1 << (c.weights_bits - 1));
    for (int8_t& w : weights) w = static_cast<int8_t>(std::uniform_int_distribution<int>(lowest, -lowest - 1)(random));
    dense->variables().set("weights", test::s8(weights, Shape{inputs, 130}));

    const Words image = format_fnp_ram(*dense, false, c.padding, uint8_t(c.input_bits), uint8_t(c.weights_bits));
    const std::vector<uint32_t> slots = fnp_input_slots(Shape{c.x, c.y, c.c}, c.padding, uint8_t(c.input_bits));
    const size_t neuron_words = image.size() / 130;
    const uint32_t slot_bits = c.padding == InputPadding::ChannelRowAligned ? 8 : uint32_t(c.weights_bits);
    Words expected = image;
    for (size_t n = 0; n < 130; ++n) {
      for (size_t i = 0; i < slots.size(); ++i) {
        uint32_t& word = expected[n * neuron_words + 2 + slot_bits * i / 32];
        const uint32_t mask = ((1u << c.weights_bits) - 1) << (slot_bits * i % 32);
        const uint32_t value = slots[i] == kFnpPaddingSlot ? 0 : uint8_t(weights[slots[i] * 130 + n]);
        word = (word & ~mask) | (value << (slot_bits * i % 32) & mask);
      }
    }
    EXPECT_EQ(image, expected) << c.x << "x" << c.y << "x" << c.c;
  }
}

TEST(FnpPayloads, MaxVariablesFillTheUpperHalfOfWordZero) {
  const DenseFixture f;
  f.layer->variables().set("max_value", test::u8({9, 10}));
  EXPECT_THAT([&] { format_fnp_ram(*f.layer, true, InputPadding::Packed, 8, 4); },
              throws_text<std::invalid_argument>(
                  "Layer 'dense' has one of \"max_value\" and \"max_value_shift\" without the other."));
  f.layer->variables().set("max_value_shift", test::u8({11, 12}));
  const Words image = format_fnp_ram(*f.layer, true, InputPadding::Packed, 8, 4);
  ASSERT_EQ(image.size(), 6u);
  EXPECT_EQ(image[0], 0x0B0901FEu);
  EXPECT_EQ(image[3], 0x0C0A0205u);
}

TEST(FnpRegisters, WidthsShapesAndNpKindsOutsideTheFieldsAreRefused) {
  const auto weights = test::s8(std::vector<int8_t>(6), Shape{3, 2});
  Words block(64, 0);
  const auto format = [&](hw::Type type, uint8_t in, uint8_t w, uint8_t out, Shape shape = {1, 1, 3},
                          uint32_t budget = 4) {
    return [=, &block] {
      format_fnp_registers(HardwareConstraints{.fnp3_sram_size = budget}, NpRegisterBlock{block}, type, in, out,
                           false, shape, true, *weights, w, InputPadding::Packed);
    };
  };
  EXPECT_THAT(format(hw::Type::FNP3, 2, 8, 8), throws_text<std::runtime_error>("Wrong input_bits at FNP recording."));
  EXPECT_THAT(format(hw::Type::FNP3, 8, 2, 8),
              throws_text<std::runtime_error>("Wrong weight bitwidth at FNP recording."));
  EXPECT_THAT(format(hw::Type::FNP3, 8, 8, 33),
              throws_text<std::runtime_error>("Wrong output bitwidth at FNP recording."));
  EXPECT_THAT(format(hw::Type::FNP3, 8, 8, 8, Shape{2048, 1, 1}),
              throws_text<std::runtime_error>(
                  "Attempted to write value 2048 into a 11-bit field, which will cause an overflow."));
  EXPECT_THAT(format(hw::Type::FNP3, 8, 8, 8, Shape{1, 1, 3}, 0),
              throws_text<std::invalid_argument>("FNP3 recording needs a non-zero FNP3 memory budget."));
  EXPECT_THAT(format(hw::Type::CNP1, 8, 8, 8),
              throws_text<std::invalid_argument>("A Dense1D layer is recorded on an FNP2 or an FNP3, not on CNP1."));

  // 32-bit output without activation: code 3, not the at-most-8-bit flag; 8-bit output sets it.
  format(hw::Type::FNP2, 8, 8, 32)();
  EXPECT_EQ(block[3], 0x000130B3u);
  format(hw::Type::FNP2, 8, 8, 8)();
  EXPECT_EQ(block[3], 0x000170B3u);
}

}  // namespace
}  // namespace ornix::v2
