#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <stdexcept>
#include <vector>

#include "backend/v1/fnp_error.h"
#include "backend/v1/fnp_learning_recording.h"
#include "backend/v1/fnp_learning_registers.h"
#include "backend/v1/fnp_ram_format.h"
#include "backend/v1/fnp_recording.h"
#include "backend/v1/fnp_register_format.h"
#include "backend/v1/np_registers_format.h"
#include "backend_v1/v1_fixtures.h"
#include "backend_v2/dma_blocks.h"
#include "ornix/layers/dense.h"
#include "support/fake_mesh_device.h"

namespace ornix::v1 {
namespace {

using ornix::test::throws_text;
using test::Components;
using test::np;
using Words = std::vector<uint32_t>;

std::shared_ptr<Dense> neurons_inputs(uint32_t n, uint32_t i, const std::vector<int8_t>& values) {
  auto t = Dense::create(TensorType::int8, Shape{n, i}, Layout::Reversed);
  for (uint32_t k = 0; k < values.size(); ++k) t->data<int8_t>()[t->offset_of({k / i, k % i})] = values[k];
  return t;
}
std::shared_ptr<Dense> int32s(const std::vector<int32_t>& values) {
  return Dense::copy(values.data(), values.size() * 4, TensorType::int32, Shape{uint32_t(values.size())});
}

// Per-value reference of the weight planes.
Words reference_image(const Dense& w, int bits) {
  const uint32_t n_count = w.shape()[0], inputs = w.shape()[1], chunks = (inputs + 31) / 32;
  const uint32_t m_count = bits == 1 ? 1 : bits - 1, block = 4 + chunks * (bits == 1 ? 1 : 2 * m_count);
  Words image(block * n_count, 0);
  for (uint32_t n = 0; n < n_count; ++n) {
    image[n * block] = 0x80000;
    for (uint32_t i = 0; i < inputs; ++i) {
      const int v = w.at<int8_t>({n, i});
      const uint32_t base = n * block + 4 + (v < 0 ? chunks * m_count : 0) + i / 32 * m_count;
      for (uint32_t m = 0; m < m_count; ++m) image[base + m] |= ((std::abs(v) >> m) & 1u) << (i % 32);
    }
  }
  return image;
}

TEST(FnpRam, MatchesPerValueReferenceOnRandomWeights) {
  std::mt19937 rng(3);
  for (int bits : {1, 2, 4}) {
    for (uint32_t inputs : {1u, 32u, 70u}) {
      const int low = bits == 1 ? 0 : -(1 << (bits - 1));
      std::uniform_int_distribution<int> value(low, (1 << (bits - 1)) - (bits == 1 ? 0 : 1));
      std::vector<int8_t> values(5 * inputs);
      for (int8_t& v : values) v = static_cast<int8_t>(value(rng));
      const auto w = neurons_inputs(5, inputs, values);
      EXPECT_EQ(format_fnp_ram(*w, *int32s({0}), *int32s({0}), bits, false), reference_image(*w, bits))
          << bits << " bits, " << inputs << " inputs";
    }
  }
}

// Bits gather eight inputs to a byte and a block of 64 neurons at a time: every weight width up
// to 8 bits (the most negative 8-bit weight included), inputs that end inside a byte or a chunk,
// and neuron counts at the block edges match the reference.
TEST(FnpRam, EveryWidthAndBlockEdgeMatchesTheReference) {
  std::mt19937 rng(9);
  const struct { int bits; uint32_t neurons, inputs; } cases[] = {
      {2, 64, 7}, {3, 63, 33}, {5, 65, 95}, {8, 64, 64}, {8, 129, 9}, {1, 66, 41},
  };
  for (const auto& c : cases) {
    const int low = c.bits == 1 ? 0 : -(1 << (c.bits - 1));
    const int high = c.bits == 1 ? 1 : (1 << (c.bits - 1)) - 1;
    std::uniform_int_distribution<int> value(low, high);
    for (const Layout layout : {Layout::Reversed, Layout::RowMajor}) {
      auto w = Dense::create(TensorType::int8, Shape{c.neurons, c.inputs}, layout);
      for (size_t k = 0; k < w->size(); ++k) w->data<int8_t>()[k] = static_cast<int8_t>(value(rng));
      if (c.bits == 8) w->data<int8_t>()[0] = -128;
      EXPECT_EQ(format_fnp_ram(*w, *int32s({0}), *int32s({0}), c.bits, false), reference_image(*w, c.bits))
          << c.bits << " bits, " << c.neurons << " neurons, " << c.inputs << " inputs";
    }
  }
}

// Images are gathered for blocks of neurons: many neurons, in both layouts, still match the
// reference, and a negative 1-bit weight is refused first by input, then by neuron, whatever
// block it falls in.
TEST(FnpRam, BlocksOfNeuronsMatchTheReferenceAndRefuseInInputOrder) {
  std::mt19937 rng(5);
  for (const uint32_t neurons : {65u, 130u}) {
    for (const Layout layout : {Layout::Reversed, Layout::RowMajor}) {
      const uint32_t inputs = 40;
      auto w = Dense::create(TensorType::int8, Shape{neurons, inputs}, layout);
      std::uniform_int_distribution<int> value(-8, 7);
      for (size_t k = 0; k < w->size(); ++k) w->data<int8_t>()[k] = static_cast<int8_t>(value(rng));
      EXPECT_EQ(format_fnp_ram(*w, *int32s({0}), *int32s({0}), 4, false), reference_image(*w, 4))
          << neurons << " neurons, layout " << static_cast<int>(layout);
    }
  }
  const struct {
    std::vector<std::pair<uint32_t, uint32_t>> negatives;  // (neuron, input)
    const char* refused;
  } cases[] = {
      {{{5, 10}, {70, 0}}, "weight -1 for neuron 70, input 0."},
      {{{100, 3}, {2, 3}}, "weight -1 for neuron 2, input 3."},
      {{{66, 39}}, "weight -1 for neuron 66, input 39."},
  };
  for (const auto& c : cases) {
    auto w = Dense::create(TensorType::int8, Shape{130, 40}, Layout::Reversed);
    for (const auto& [n, i] : c.negatives) w->data<int8_t>()[w->offset_of({n, i})] = -1;
    EXPECT_THAT([&] { format_fnp_ram(*w, *int32s({0}), *int32s({0}), 1, false); },
                throws_text<std::runtime_error>(std::string("Backend hardware(FullyConnected): 1-bit weights must be "
                                                            "0 or 1. Receives ") + c.refused));
  }
}

TEST(FnpRam, GoldenImages) {
  // 4 bits, 40 inputs: blocks of 4 + 2 x 6 words. w(0, 0) = 3 sets bit 0 of words 4 and 5;
  // w(0, 33) = -5 bit 1 of words 13 and 15 (negative group at 10, chunk 1 at 13-15);
  // w(1, 31) = 7 bit 31 of the second block's words 4-6.
  std::vector<int8_t> values(80, 0);
  values[0] = 3;
  values[33] = -5;
  values[40 + 31] = 7;
  Words expected(32, 0);
  expected[0] = expected[16] = 0x80000;
  expected[4] = expected[5] = 1;
  expected[13] = expected[15] = 2;
  expected[20] = expected[21] = expected[22] = 0x80000000;
  EXPECT_EQ(format_fnp_ram(*neurons_inputs(2, 40, values), *int32s({9, 9}), *int32s({9, 9}), 4, false), expected);

  // 1 bit, 3 inputs, with activation: threshold -1 and 524287, steps 16 and 0xFFFFF.
  const auto one_bit = neurons_inputs(2, 3, {1, 0, 1, 0, 1, 1});
  EXPECT_EQ(format_fnp_ram(*one_bit, *int32s({-1, 524287}), *int32s({16, 0xFFFFF}), 1, true),
            (Words{0xFFFFF, 16, 0, 0, 5, 0x7FFFF, 0xFFFFF, 0, 0, 6}));
}

TEST(FnpRam, RefusesValuesTheImageCannotHold) {
  const auto w = neurons_inputs(1, 3, {1, 0, 0});
  EXPECT_THAT([&] { format_fnp_ram(*w, *int32s({0}), *int32s({0x100000}), 1, true); },
              throws_text<std::runtime_error>("Backend hardware(FullyConnected): act_step should be between 0 and "
                                              "65535. Receives act_step 65536."));
  EXPECT_THAT([&] { format_fnp_ram(*w, *int32s({524288}), *int32s({0}), 1, true); },
              throws_text<std::runtime_error>("524288 cannot fit in a 20 bits signed integer."));
  EXPECT_THAT([] { format_fnp_ram(*neurons_inputs(2, 3, {0, 0, 0, 1, 0, -1}), *int32s({0}), *int32s({0}), 1, false); },
              throws_text<std::runtime_error>("Backend hardware(FullyConnected): 1-bit weights must be 0 or 1. "
                                              "Receives weight -1 for neuron 1, input 2."));
}

std::shared_ptr<LearningParams> learning_params() {
  return LearningParams::create(LearningType::Unsupervised,
                                {{"num_weights", 9}, {"initial_plasticity", 0.5}, {"learning_competition", 0.5},
                                 {"min_plasticity", 0.25}, {"plasticity_decay", 0.5}});
}

TEST(FnpRegisters, LearningWords) {
  Words regs = default_np_regs();
  format_learning_common_regs(&regs, learning_params().get());
  // round(4.5) = 5; ceil(2.25) = 3; ceil(round(4.5) x 0.5) = 3.
  EXPECT_EQ(Words(regs.begin() + 36, regs.begin() + 39), (Words{0x10000005, 0xFF000003, 3}));
  regs[36] = 0xFFFFFFFF;
  format_learning_common_regs(&regs, nullptr);
  EXPECT_EQ(regs[36], 0xEFFFFFFFu);
}

// input 2 x 3 x 4 at 4 bits -> FullyConnected of 3 units, 2-bit weights, act_bits 2, on one FNP
// at column 3, fed by a CNP at column 2, output point to point to the DMA at (1, 1) with tag 5.
struct DenseFixture {
  explicit DenseFixture(hw::Type type, bool single_buffer = true)
      : dense(LayerType::FullyConnected, {{"units", 3}, {"weights_bits", 2}, {"activation", 1}, {"act_bits", 2}},
              Shape{2, 3, 4}, 4, {fnp(type, single_buffer)}) {
    LayerMapping& m = *dense.mapping;
    m.layer_id = 2;
    m.output_id = 5;
    m.inputs = {std::make_shared<Components>(Components{np(hw::Type::CNP1, 2)})};
    m.outputs = {std::make_shared<Components>(Components{np(hw::Type::DMA, 1)})};
    std::vector<int8_t> weights(3 * 24, 0);
    weights[0] = 1;
    weights[24 + 5] = -1;
    dense.layer->variables().set("weights", neurons_inputs(3, 24, weights));
  }
  static hw::Component fnp(hw::Type type, bool single_buffer) {
    hw::Component c = np(type, 3);
    c.allocation = NpAllocation{0, 3, {}, {}, single_buffer};
    return c;
  }
  Words regs(bool learning = false) {
    return format_fnp_regs(device, *dense.layer, learning, nullptr, false, false).at(kNp);
  }

  static constexpr hw::Ident kNp{3, 1, 0, 0};
  test::MappedLayer dense;
  ornix::test::FakeMeshDevice device{HwVersion{0xD3, 0xA1, 1, 0},
                                     Mesh(IpVersion::v1, {}, {0, 1, 2, 0}, std::nullopt, {}, {})};
};

Words expected_block(hw::Type type) {
  Words block = default_np_regs();
  const bool fnp3 = type == hw::Type::FNP3;
  block[1] = fnp3 ? 0x01500070 : 0x00700070;  // bits 4-6, single buffer, NP2NP 1 + CNP4FNP 1 / NP2NP 3
  block[3] = 0x02019082;   // tag 2, 1 NP, activation, act 2 bits, 2-bit weights, input 4 bits
  block[10] = 0x00020003;  // height 3, width 2
  block[11] = 0x00006000;  // 6 values a channel
  block[14] = 0x80000001;  // one input word
  block[15] = 3;
  block[16] = 0x20000000;
  block[17] = fnp3 ? 0x00100012 : 0;  // 18 image words in one block
  block[44] = 0xFF080001;
  block[45] = 0x05100101;  // tag 5, DMA at row 1, column 1, one-hot 1
  block[46] = 0x00000202;
  block[47] = 0x00000301;
  block[49] = fnp3 ? 0 : 0x00040001;  // configuration DMA (0, 1, id 2)
  return block;
}

TEST(FnpRegisters, BlockOfFnp2AndFnp3) {
  for (hw::Type type : {hw::Type::FNP2, hw::Type::FNP3}) {
    DenseFixture fixture(type);
    EXPECT_EQ(fixture.regs(), expected_block(type)) << hw::to_string(type);
  }
  DenseFixture dual(hw::Type::FNP3, false);
  EXPECT_THAT([&] { dual.regs(); },
              throws_text<std::invalid_argument>("4-bit FNP inputs require single buffer mode."));
}

TEST(FnpRecording, TracksOfFnp2AndFnp3) {
  for (hw::Type type : {hw::Type::FNP2, hw::Type::FNP3}) {
    DenseFixture fixture(type);
    const Layer& layer = *fixture.dense.layer;
    const bool fnp2 = type == hw::Type::FNP2;
    // A fresh layer's steps of 1: 16 sixteenths.
    const Words image = format_fnp_ram(*layer.variables().get("weights"), *layer.variables().get("threshold"),
                                       *int32s({16, 16, 16}), 2, true);
    const auto record = record_program_dense_layer(fixture.device, layer, nullptr, false, false, {}, false);
    const auto blocks = v2::test::dma_blocks(*record);
    ASSERT_EQ(v2::test::targets(blocks), (fnp2 ? std::vector<uint32_t>{7} : std::vector<uint32_t>{7, 6}));
    EXPECT_EQ(blocks[0].words, expected_block(type));
    ASSERT_EQ(record->fnp2_filters != nullptr, fnp2);
    EXPECT_EQ(fnp2 ? Words(record->fnp2_filters->words.begin(), record->fnp2_filters->words.end()) : blocks[1].words,
              image);

    const auto registers = record_program_dense_layer(fixture.device, layer, nullptr, false, false, {}, true);
    EXPECT_EQ(v2::test::targets(v2::test::dma_blocks(*registers)), std::vector<uint32_t>{7});
    EXPECT_FALSE(registers->fnp2_filters);
    const auto skipped =
        record_program_dense_layer(fixture.device, layer, nullptr, false, false, {DenseFixture::kNp}, false);
    EXPECT_TRUE(skipped->tracks.empty() && !skipped->fnp2_filters);
  }
}

// A layer whose mapping lists no NP is refused by name by every recorder that reads its FNP.
TEST(FnpRecording, LayerMappedOnNoNpIsRefusedByName) {
  DenseFixture fixture(hw::Type::FNP3);
  std::dynamic_pointer_cast<FullyConnected>(fixture.dense.layer)->set_learning(learning_params());
  fixture.dense.mapping->nps->clear();
  const Layer& layer = *fixture.dense.layer;
  const char* const refused = "Backend hardware(FullyConnected): The layer layer is mapped on no NP.";
  EXPECT_THAT([&] { record_program_dense_layer(fixture.device, layer, nullptr, false, false, {}, false); },
              throws_text<FnpError>(refused));
  EXPECT_THAT([&] { record_program_learning_dense_layer(fixture.device, layer, false); },
              throws_text<FnpError>(refused));
  EXPECT_THAT([&] { fixture.regs(); }, throws_text<FnpError>(refused));
}

TEST(FnpRecording, LearningSpikesAndReconfiguration) {
  DenseFixture fixture(hw::Type::FNP3);
  const auto params = learning_params();
  std::dynamic_pointer_cast<FullyConnected>(fixture.dense.layer)->set_learning(params);
  EXPECT_EQ(fixture.regs(true)[36], 0x10000005u);
  EXPECT_EQ(fixture.regs(false)[36], 0u);

  // The reconfiguration layer shares the NP: its view (FNP, whole 2 x 3 input) is written.
  test::MappedLayer other(LayerType::FullyConnected, {{"units", 2}, {"weights_bits", 1}}, Shape{2, 3, 4}, 4,
                          {DenseFixture::fnp(hw::Type::FNP3, true)});
  const Words regs =
      format_fnp_regs(fixture.device, *fixture.dense.layer, false, other.layer, true, true).at(DenseFixture::kNp);
  EXPECT_EQ(regs[2], 0x80u);
  EXPECT_EQ(regs[32], 0x00000027u);
  EXPECT_EQ(regs[34], 0x00020003u);
  EXPECT_EQ(regs[44], 0xFF080005u);
}

}  // namespace
}  // namespace ornix::v1
