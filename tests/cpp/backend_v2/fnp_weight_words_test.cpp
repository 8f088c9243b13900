#include "backend/v2/fnp_weight_words.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <random>
#include <span>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "backend/v2/fnp_input_slots.h"
#include "backend/v2/fnp_payloads.h"
#include "backend/v2/fnp_sizes.h"
#include "backend_v2/register_format_fixtures.h"
#include "engine/layer_fixtures.h"

namespace ornix::v2 {
namespace {

using ornix::test::throws_text;
using Words = std::vector<uint32_t>;

// What the words around the weights hold before they are written: neither 0 nor all ones, so
// that a field written where it should not be, or a kept bit cleared, shows.
constexpr uint32_t kFill = 0xA5A5A5A5;

// Weights (inputs, neurons) in `layout`, every int8 value possible (the writer keeps the low
// bits only).
std::shared_ptr<Dense> random_weights(uint32_t inputs, uint32_t neurons, Layout layout, std::mt19937& random) {
  auto weights = Dense::create(TensorType::int8, Shape{inputs, neurons}, layout);
  int8_t* data = weights->data<int8_t>();
  for (size_t i = 0; i < weights->size(); ++i) {
    data[i] = static_cast<int8_t>(std::uniform_int_distribution<int>(-128, 127)(random));
  }
  return weights;
}

// The image as the layout reads, slot by slot and field by field: slot i of neuron n in bits
// s x i mod 32 of word n x `neuron_words` + 2 + s x i / 32 (s = 8 for ChannelRowAligned, else
// the weight width), its `weights_bits` low bits; every other bit as in `image`.
Words one_field_per_slot(Words image, const Dense& weights, const std::vector<uint32_t>& slots, InputPadding padding,
                         uint32_t weights_bits, size_t neuron_words) {
  const uint32_t slot_bits = padding == InputPadding::ChannelRowAligned ? 8 : weights_bits;
  for (uint32_t n = 0; n < weights.shape()[1]; ++n) {
    for (size_t i = 0; i < slots.size(); ++i) {
      if (slots[i] == kFnpPaddingSlot) continue;
      uint32_t& word = image[n * neuron_words + 2 + slot_bits * i / 32];
      const uint32_t shift = slot_bits * i % 32;
      const uint32_t field = (1u << weights_bits) - 1;
      const uint32_t value = static_cast<uint8_t>(weights.at<int8_t>({slots[i], n})) & field;
      word = (word & ~(field << shift)) | value << shift;
    }
  }
  return image;
}

// Blocks of neurons and single neurons, neurons side by side and inputs side by side, against
// the field-by-field image, for each input layout: partial last words, padding inside words
// (lines of one 4-bit value take two slots), whole-byte fields (lines of consecutive inputs when
// there is one channel), neuron counts around the block.
TEST(FnpWeightWords, EveryLayoutAndWeightOrderMatchesOneFieldPerSlot) {
  struct Case {
    uint32_t x, y, c;
    InputPadding padding;
    uint8_t input_bits, weights_bits;
    uint32_t neurons;
  };
  const Case cases[] = {
      {1, 1, 37, InputPadding::Packed, 8, 4, 65},
      {1, 1, 37, InputPadding::Packed, 8, 8, 64},
      {1, 1, 20, InputPadding::RowAligned, 4, 4, 130},
      {1, 1, 9, InputPadding::RowAligned, 4, 8, 1},
      {3, 2, 3, InputPadding::RowAligned, 4, 4, 63},
      {2, 3, 5, InputPadding::RowAligned, 2, 4, 70},
      {4, 1, 6, InputPadding::RowAligned, 8, 8, 3},
      {5, 1, 2, InputPadding::ChannelRowAligned, 8, 8, 129},
      {5, 1, 2, InputPadding::ChannelRowAligned, 8, 4, 66},
      {8, 1, 1, InputPadding::ChannelRowAligned, 8, 4, 5},
      {6, 1, 1, InputPadding::ChannelRowAligned, 8, 8, 2},
  };
  std::mt19937 random(5);
  for (const Case& c : cases) {
    for (const Layout layout : {Layout::RowMajor, Layout::Reversed}) {
      const std::string name = std::to_string(c.x) + "x" + std::to_string(c.y) + "x" + std::to_string(c.c) +
                               " padding " + std::to_string(static_cast<int>(c.padding)) + " weights " +
                               std::to_string(c.weights_bits) + (layout == Layout::Reversed ? " reversed" : "");
      const Shape shape{c.x, c.y, c.c};
      const auto weights = random_weights(c.x * c.y * c.c, c.neurons, layout, random);
      const size_t neuron_words = get_neuron_word_size(shape, c.padding, c.input_bits, c.weights_bits);
      const Words fresh(neuron_words * c.neurons, kFill);
      const Words expected = one_field_per_slot(fresh, *weights, fnp_input_slots(shape, c.padding, c.input_bits),
                                                c.padding, c.weights_bits, neuron_words);

      Words blocks = fresh;
      const FnpWeightWords words(shape, c.padding, c.input_bits, c.weights_bits);
      for (uint32_t first = 0; first < c.neurons; first += kFnpNeuronBlock) {
        words.write(*weights, first, std::min(kFnpNeuronBlock, c.neurons - first), blocks.data(), neuron_words);
      }
      EXPECT_EQ(blocks, expected) << name;

      Words single = fresh;
      for (uint32_t n = 0; n < c.neurons; ++n) {
        format_fnp_input_words(single, n, *weights, c.weights_bits, shape, c.padding, c.input_bits);
      }
      EXPECT_EQ(single, expected) << name;
    }
  }
}

TEST(FnpWeightWords, BadBlocksAndWeightsAreRefusedBeforeAnyWordIsWritten) {
  const Shape shape{1, 1, 3};
  const FnpWeightWords words(shape, InputPadding::Packed, 8, 4);
  Words image(3 * 70, kFill);
  const auto write = [&](const Dense& weights, uint32_t first, uint32_t count) {
    return [&, first, count] { words.write(weights, first, count, image.data(), 3); };
  };
  std::mt19937 random(3);
  const auto weights = random_weights(3, 70, Layout::RowMajor, random);
  const auto two_inputs = random_weights(2, 70, Layout::RowMajor, random);
  const auto unsigned_weights = test::u8(std::vector<uint8_t>(3 * 70), Shape{3, 70});
  EXPECT_THAT(write(*weights, 0, kFnpNeuronBlock + 1),
              throws_text<std::logic_error>("FNP image: too many neurons written at once."));
  EXPECT_THAT(write(*two_inputs, 0, 64), throws_text<std::runtime_error>("Coordinates are out-of-range"));
  EXPECT_THAT(write(*weights, 10, 61), throws_text<std::runtime_error>("Coordinates are out-of-range"));
  EXPECT_THAT(write(*unsigned_weights, 0, 1),
              throws_text<std::runtime_error>("Wrong requested type int8 for a tensor of type uint8."));
  EXPECT_EQ(image, Words(3 * 70, kFill));
  EXPECT_THAT([] { FnpWeightWords(Shape{1, 1, 3}, InputPadding::Packed, 8, 2); },
              throws_text<std::runtime_error>("Wrong weight bitwidth at FNP recording."));
}

// input 1 x 1 x 3 -> Dense1D of 3 neurons, 4-bit weights, its variables as declared.
struct ThreeNeurons {
  ThreeNeurons() { dense->variables().set("weights", test::s8({1, 2, 3, -1, -2, -3, 7, -8, 0}, Shape{3, 3})); }

  std::unique_ptr<Model> model = ornix::test::model_with_input(1, 1, 3, 8);
  std::shared_ptr<Layer> dense =
      ornix::test::add_layer(*model, LayerType::Dense1D, {{"units", 3}, {"weights_bits", 4}}, "dense");
};

// The image is checked whole when it is made, so that it can be written in place: each row
// breaks the layer one way, and the first failure a neuron-by-neuron writer meets is raised
// (neuron 0 meets every element type before neuron 1 meets a short variable).
TEST(FnpRamImage, EveryFailureComesFromTheCheckBeforeAnyWrite) {
  struct Case {
    const char* what;
    std::vector<std::pair<std::string, std::shared_ptr<Dense>>> variables;
    std::string message;
  };
  const Case cases[] = {
      {"short max value", {{"max_value", test::u8({1, 2})}, {"max_value_shift", test::u8({1, 2, 3})}},
       "Coordinates are out-of-range"},
      {"max shift of two dimensions", {{"max_value", test::u8({1, 2, 3})},
                                       {"max_value_shift", test::u8({1, 2, 3}, Shape{3, 1})}},
       "Coordinates are out-of-range"},
      {"signed max shift", {{"max_value", test::u8({1, 2, 3})}, {"max_value_shift", test::s8({1, 2, 3})}},
       "Wrong requested type uint8 for a tensor of type int8."},
      {"short max value, unsigned output shift",
       {{"max_value", test::u8({1})}, {"max_value_shift", test::u8({1})}, {"output_shift", test::u8({1, 2, 3})}},
       "Wrong requested type int8 for a tensor of type uint8."},
  };
  for (const Case& c : cases) {
    const ThreeNeurons layer;
    for (const auto& [name, values] : c.variables) layer.dense->variables().set(name, values);
    EXPECT_THAT([&] { FnpRamImage(*layer.dense, true, InputPadding::Packed, 8, 4); },
                throws_text<std::runtime_error>(c.message))
        << c.what;
  }

  // Three neurons of 3 words; a span that misses the last word is refused.
  const ThreeNeurons layer;
  const FnpRamImage image(*layer.dense, true, InputPadding::Packed, 8, 4);
  ASSERT_EQ(image.words(), 9u);
  Words short_image(8, 0);
  EXPECT_THAT([&] { image.write(short_image); },
              throws_text<std::out_of_range>("The FNP memory image holds 8 words but neuron 2 ends at word 9."));
  // Output scale 1 from the declared initial value; weights in nibbles, input 0 lowest.
  Words full(9, 0);
  image.write(full);
  EXPECT_EQ(full, (Words{0, 1, 0x07F1, 0, 1, 0x08E2, 0, 1, 0x0D3}));
}

}  // namespace
}  // namespace ornix::v2
