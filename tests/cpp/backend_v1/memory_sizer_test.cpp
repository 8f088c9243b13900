#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "backend/v1/memory_sizer.h"
#include "backend_v1/v1_layers.h"
#include "program/thrown.h"

namespace ornix::v1::test {
namespace {

using program::thrown;
using T = LayerType;

// A CNP computing `filters` filters over a window of `channels` channels whose padded partition
// has `padded_rows` rows (the other sizes play no part in the figures).
hw::Component cnp_share(uint32_t filters, uint32_t channels, uint32_t padded_rows) {
  NpAllocation share{0, filters, {0, 0, Shape{5, 4, channels}}, {0, 0, Shape{7, padded_rows, channels}}, true};
  return {hw::Type::CNP1, {2, 1, 0, 0}, share, {}};
}
hw::Component fnp(hw::Type type) { return {type, {3, 1, 0, 0}, NpAllocation{}, {}}; }

struct Figures {
  uint32_t input, weight, external;
  bool operator==(const Figures&) const = default;
};
std::ostream& operator<<(std::ostream& out, const Figures& f) {
  return out << "{" << f.input << ", " << f.weight << ", " << f.external << "}";
}

Figures figures(const std::shared_ptr<Layer>& layer, const hw::Component& component) {
  const MemorySizerImpl sizer;
  return {sizer.get_input_memory_size(layer, component, nullptr), sizer.get_weight_memory_size(layer, component),
          sizer.get_external_memory_size(layer, component, true, true)};
}

// Expected figures worked out by hand:
// - CNP input: container = (4 bits x 10 columns + 7) / 8 = 5 bytes (the layer's whole input
//   width); ((3 channels x 5 x 8 + 31) / 32 = 4 words a row) x 6 padded rows x 4 = 96 bytes;
//   pooling plays no part (generation-1 layers have no "pool_size": the window's pool size is 0).
// - Standard 3x3, 2-bit weights, 8 filters, 3 channels: 5 kernels a slot, ceil(16 / 5) = 4
//   slots a channel, round16(2 x 4) = 16 words x 3 channels = 48 words = 24 weight words of 50
//   bits = 150 bytes.
// - Separable 3x3, 2-bit, 8 filters, 3 channels: depthwise 50 / 6 = 8 rows a slot, 2 kernels a
//   slot, round16(ceil(3 / 2) x 2) = 16 words; pointwise ceil(16 / 48) = 1 slot a channel, 3 x
//   1 x 2 = 6 words; 22 words = 11 weight words = (550 + 7) / 8 = 69 bytes.
// - HRC 3x3, 3 channels, 8 filters: each filter's 9 weights of a channel take 3 words of that
//   channel's SRAM, 3 x 3 x 8 = 72 words, and 2 threshold/step words a filter, 16: 88 words =
//   352 bytes.
// - FullyConnected on 4 x 4 x 4 inputs, 10 units, 2-bit weights: input (64 + 31) / 32 = 2
//   words = 8 bytes; image (ceil(64 / 32) x 2 planes + 4) x 10 = 80 words = 320 bytes, in the
//   NP on an FNP3, outside it on an FNP2.
TEST(V1MemorySizer, FiguresOfEachLayerTypeOnItsComponents) {
  std::unique_ptr<Model> model;
  struct Case {
    std::string what;
    std::shared_ptr<Layer> layer;
    hw::Component component;
    Figures expected;
  };
  const LayerParams::Values max_pool{{"pool_type", 1},        {"pooling_width", 2},    {"pooling_height", 2},
                                     {"pooling_stride_x", 2}, {"pooling_stride_y", 2}};
  const std::vector<Case> cases{
      {"conv", v1_layer(model, T::Convolutional, {10, 8, 3}, {}), cnp_share(8, 3, 6), {96, 150, 0}},
      {"conv with max pooling", v1_layer(model, T::Convolutional, {10, 8, 3}, max_pool), cnp_share(8, 3, 6),
       {96, 150, 0}},
      {"separable", v1_layer(model, T::SeparableConvolutional, {10, 8, 3}, {}), cnp_share(8, 3, 6), {96, 69, 0}},
      {"hrc", v1_layer(model, T::InputConvolutional, {}, {}), {hw::Type::HRC, {}, std::nullopt, {}}, {0, 352, 0}},
      {"dense on an FNP3", v1_layer(model, T::FullyConnected, {4, 4, 4}, {}), fnp(hw::Type::FNP3), {8, 320, 0}},
      {"dense on an FNP2", v1_layer(model, T::FullyConnected, {4, 4, 4}, {}), fnp(hw::Type::FNP2), {8, 0, 320}},
      {"add", ornix::test::make_layer(T::Add, {}, "add"), fnp(hw::Type::CNP1), {0, 0, 0}},
      {"dequantizer", ornix::test::make_layer(T::Dequantizer, {}, "dq"), fnp(hw::Type::CNP1), {0, 0, 0}},
  };
  for (const Case& c : cases) EXPECT_EQ(figures(c.layer, c.component), c.expected) << c.what;

  // The NP's own channels and padded rows size its input window.
  const auto conv = v1_layer(model, T::Convolutional, {10, 8, 3}, {});
  EXPECT_EQ(MemorySizerImpl().get_input_memory_size(conv, cnp_share(8, 1, 3), nullptr), 2u * 3 * 4);
}

TEST(V1MemorySizer, OtherLayerTypesAreRefusedExceptForExternalMemory) {
  const MemorySizerImpl sizer;
  const auto dense1d = ornix::test::add_layer(*ornix::test::model_with_input(4, 4, 4), T::Dense1D, {{"units", 4}});
  const hw::Component np = fnp(hw::Type::FNP3);
  EXPECT_EQ(thrown<std::invalid_argument>([&] { sizer.get_input_memory_size(dense1d, np, dense1d); }),
            "Invalid v1 layer type.");
  EXPECT_EQ(thrown<std::invalid_argument>([&] { sizer.get_weight_memory_size(dense1d, np); }),
            "Invalid v1 layer type.");
  EXPECT_EQ(sizer.get_external_memory_size(dense1d, np, false, false), 0u);
}

}  // namespace
}  // namespace ornix::v1::test
