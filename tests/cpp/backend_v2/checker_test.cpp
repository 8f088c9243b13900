#include "backend/v2/compatibility_checker.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/layer_fixtures.h"
#include "hardware/mesh.h"
#include "support/fake_mesh_device.h"

namespace ornix {
namespace {

using test::add_layer;
using test::throws_text;

// A checker over a generation-2 device whose CNPs have a lookup table or not, as `luts` says.
struct V2Checker {
  explicit V2Checker(const std::vector<bool>& luts = {true, true}) : device({0xD3, 0xA2, 1, 0}, mesh_of(luts)) {
    constraints.input_sram_dual_buffer_size = 500;
    constraints.input_sram_single_buffer_size = 1000;
  }
  static Mesh mesh_of(const std::vector<bool>& luts) {
    std::vector<np::Info> nps;
    for (const bool lut : luts) nps.push_back({hw::Ident{uint8_t(nps.size() + 1), 1, 0, 0}, {hw::Type::CNP1}, lut});
    return Mesh(IpVersion::v2, {}, {}, std::nullopt, nps, {});
  }

  test::FakeMeshDevice device;
  HardwareConstraints constraints;
  v2::CompatibilityCheckerImpl checker{&device, &constraints};
};

std::shared_ptr<const Dense> u8(uint8_t value) { return Dense::copy(&value, 1, TensorType::uint8, Shape{1}); }

TEST(V2CompatibilityChecker, DispatchByLayerType) {
  const V2Checker v2;
  auto model = test::model_with_input(8, 8, 2);
  const auto token = add_layer(*model, LayerType::ExtractToken, {{"activation", 2}}, "token");
  token->variables().set("bias_shift", u8(64));
  EXPECT_EQ(v2.checker.check_layer_compatibility(*token, nullptr, {}),
            LayerMappingError("token", "Unsupported layer type on Ornix v2."));
  const auto dequantizer = add_layer(*model, LayerType::Dequantizer, {}, "dequantizer");
  EXPECT_EQ(v2.checker.check_layer_compatibility(*dequantizer, token.get(), {}), LayerMappingStatus("dequantizer"));
}

TEST(V2CompatibilityChecker, FindingsFoldInCheckOrderOnePerLine) {
  auto model = test::model_with_input(4, 4, 1);
  const auto concat = test::make_layer(LayerType::Concatenate, {{"activation", 2}}, "concat");
  model->add(concat, {model->get_layer(0), model->get_layer(0)});
  // input_shift needs 4 of 3 bits, bias_shift 6 of 5; max_value_shift and the signed
  // output_shift sit exactly at their limits of 5 and 6 bits.
  concat->variables().set("bias_shift", u8(32));
  concat->variables().set("max_value_shift", u8(31));
  const int8_t shifts[] = {31, -32};
  concat->variables().set("output_shift", Dense::copy(shifts, 2, TensorType::int8, Shape{2}));
  concat->variables().set("input_shift", u8(8));

  const std::string lines =
      "The variable input_shift should only contain unsigned values that use no more than 3-bit, 4 detected.\n"
      "The variable bias_shift should only contain unsigned values that use no more than 5-bit, 6 detected.\n"
      "Does not support activation type 'LUT'.";
  EXPECT_EQ(V2Checker().checker.check_layer_compatibility(*concat, nullptr, {}), LayerMappingError("concat", lines));
  EXPECT_EQ(V2Checker({true, false}).checker.check_layer_compatibility(*concat, nullptr, {}).message(),
            lines + "\nLookup tables are missing on some NPs.");
}

TEST(V2CompatibilityChecker, OnlyCnpAndHrcLayersTakeActivationsOtherThanRelu) {
  const V2Checker all_luts;
  const V2Checker one_missing({true, true, false});
  auto model = test::model_with_input(8, 8, 2);
  const LayerParams::Values with_lut{{"kernel_size", 1}, {"filters", 2}, {"activation", 2}};
  const auto hrc = add_layer(*model, LayerType::InputConv2D, with_lut, "hrc");
  const auto conv = add_layer(*model, LayerType::Conv2D, with_lut, "conv");
  const auto relu = add_layer(*model, LayerType::Dense1D, {{"units", 2}, {"activation", 1}}, "relu");
  const auto lut = add_layer(*model, LayerType::Dense1D, {{"units", 2}, {"activation", 2}}, "lut");
  const auto odd = add_layer(*model, LayerType::BufferTempConv, {{"fifo_size", 2}, {"filters", 2}, {"activation", 7}});

  EXPECT_TRUE(all_luts.checker.check_supported_activation(*hrc).success());
  EXPECT_TRUE(all_luts.checker.check_supported_activation(*conv).success());
  EXPECT_TRUE(one_missing.checker.check_supported_activation(*relu).success());
  EXPECT_EQ(one_missing.checker.check_supported_activation(*conv),
            LayerMappingError("conv", "Lookup tables are missing on some NPs."));
  EXPECT_EQ(one_missing.checker.check_supported_activation(*lut).message(),
            "Does not support activation type 'LUT'.\nLookup tables are missing on some NPs.");
  EXPECT_EQ(all_luts.checker.check_supported_activation(*odd).message(), "Does not support activation type 'Unknown'.");
}

hw::Component cnp(hw::Type type, uint32_t width) {
  return {type, {}, NpAllocation{0, 4, NpSpace{0, 0, Shape{width, 8, 4}}, {}, true}, {}};
}

TEST(V2CompatibilityChecker, CnpInputWidthRoundedToFourIsAtMost64) {
  const V2Checker v2;
  const auto layer = test::make_layer(LayerType::Conv2D, {}, "conv");
  EXPECT_EQ(v2.checker.check_layer_mappings(
                *layer, {cnp(hw::Type::CNP1, 61), cnp(hw::Type::CNP2, 64), cnp(hw::Type::FNP2, 500), {}}),
            LayerMappingStatus(""));
  EXPECT_EQ(v2.checker.check_layer_mappings(*layer, {cnp(hw::Type::CNP2, 65), cnp(hw::Type::CNP1, 100)}),
            LayerMappingError("conv", "The input length 68 exceeds the maximum value for NP input width: 64."));
}

TEST(V2CompatibilityChecker, InputMemoryFitPerNpType) {
  const V2Checker v2;  // 1000 words single-buffered, 500 per buffer dual-buffered
  const auto& c = v2.checker;
  // CNP: a row of 10 8-bit values takes 12 bytes, of 3 channels 9 words, 100 rows 900 words.
  EXPECT_TRUE(c.is_sram_input_fit_single_buffer(hw::Type::CNP1, 100, 10, 3, 5, 8, 100));
  EXPECT_FALSE(c.is_sram_input_fit_dual_buffer(hw::Type::CNP1, 100, 10, 3, 0, 8, 0));
  // A reserve beyond the budget leaves nothing; 2^16 rows of 2^16 channels of 2^18-byte rows
  // would wrap around to 0 words in 32-bit arithmetic.
  EXPECT_FALSE(c.is_sram_input_fit_single_buffer(hw::Type::CNP1, 0, 1, 1, 0, 8, 1001));
  EXPECT_FALSE(c.is_sram_input_fit_single_buffer(hw::Type::CNP1, 0x10000, 0x10000, 0x10000, 0, 32, 0));
  for (const hw::Type type : {hw::Type::FNP2, hw::Type::FNP3, hw::Type::HRC, hw::Type::TNP_R}) {
    EXPECT_THAT([&] { c.is_sram_input_fit_dual_buffer(type, 1, 1, 1, 0, 8, 0); },
                throws_text<std::runtime_error>("Type of NP not supported."));
  }
}

TEST(V2CompatibilityChecker, WeightFitCountsWeightMemoryAndChannelContainer) {
  V2Checker v2;
  auto model = test::model_with_input(8, 8, 2);
  const LayerParams::Values conv3{{"kernel_size", 3}, {"filters", 8}, {"weights_bits", 8}};
  const auto conv = add_layer(*model, LayerType::Conv2D, conv3, "conv");
  // 8 filters of 3x3 8-bit weights take 6 words per input channel.
  v2.constraints.cnp_weight_memory_size = 12;
  EXPECT_TRUE(v2.checker.is_weights_size_fit_np(*conv, 8));
  v2.constraints.cnp_weight_memory_size = 11;
  EXPECT_FALSE(v2.checker.is_weights_size_fit_np(*conv, 8));

  // The channel container must stay below 2^18 words however large the weight memory: a 7x7
  // kernel takes 7 words per filter, counted in blocks of 8; a 3x3 depthwise channel 1.
  v2.constraints.cnp_weight_memory_size = 0xFFFFFFFF;
  auto single = test::model_with_input(8, 8, 1);
  const auto wide = add_layer(*single, LayerType::Conv2D, {{"kernel_size", 7}, {"filters", 1}, {"weights_bits", 8}});
  const auto depthwise = test::make_layer(LayerType::DepthwiseConv2D, {{"kernel_size", 3}, {"weights_bits", 8}}, "dw");
  single->add(depthwise, {single->get_layer(0)});
  EXPECT_TRUE(v2.checker.is_weights_size_fit_np(*wide, 37448));   // 262136 words
  EXPECT_FALSE(v2.checker.is_weights_size_fit_np(*wide, 37449));  // 262192 words
  EXPECT_TRUE(v2.checker.is_weights_size_fit_np(*depthwise, 262143));
  EXPECT_FALSE(v2.checker.is_weights_size_fit_np(*depthwise, 262144));

  const auto dense = add_layer(*model, LayerType::Dense1D, {{"units", 2}}, "dense");
  EXPECT_THAT([&] { v2.checker.is_weights_size_fit_np(*dense, 2); },
              throws_text<std::invalid_argument>("Unexpected layer type for CNP or TNP-B."));
}

}  // namespace
}  // namespace ornix
