#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "backend/v2/compatibility_checker.h"
#include "backend/v2/fnp_constraints.h"
#include "backend/v2/fnp_input_layout.h"
#include "backend/v2/fnp_sizes.h"
#include "backend/v2/memory_sizer.h"
#include "engine/layer_fixtures.h"
#include "hardware/component.h"
#include "ornix/layer_impl.h"
#include "support/fake_mesh_device.h"

namespace ornix::v2 {
namespace {

using test::make_layer;
using test::throws_text;
using P = InputPadding;

// What computes the Dense1D layer's input.
enum class Feed { Input, Cnp, Hrc, TnpB, Fnp, Concat };

// input (x, y, c at `bits`) -> [producer of x, y, c at `bits`] -> dense. A Concat joins the input
// with itself, so it gives 2c channels.
struct Chain {
  Chain(Feed feed, uint32_t x, uint32_t y, uint32_t c, int32_t bits, LayerParams::Values dense_params = {})
      : model(test::model_with_input(x, y, c, bits)) {
    const auto input = model->get_layer(0);
    const LayerParams::Values conv{{"kernel_size", 1}, {"filters", int32_t(c)}, {"output_bits", bits}};
    switch (feed) {
      case Feed::Input:
        break;
      case Feed::Cnp:
        producer = make_layer(LayerType::Conv2D, conv, "conv");
        break;
      case Feed::Hrc:
        producer = make_layer(LayerType::InputConv2D, conv, "hrc");
        break;
      case Feed::TnpB:
        producer = make_layer(LayerType::BufferTempConv,
                              {{"fifo_size", 1}, {"filters", int32_t(c)}, {"output_bits", bits}}, "tnp");
        break;
      case Feed::Fnp:
        producer = make_layer(LayerType::Dense1D, {{"units", int32_t(c)}, {"output_bits", bits}}, "fnp");
        break;
      case Feed::Concat:
        producer = make_layer(LayerType::Concatenate, {}, "concat");
        break;
    }
    if (producer) model->add(producer, feed == Feed::Concat ? Layers{input, input} : Layers{input});
    for (const auto& [key, value] : dense_params) params[key] = value;
    dense = make_layer(LayerType::Dense1D, params, "dense");
    model->add(dense, {producer ? producer : input});
  }
  using Layers = std::vector<std::shared_ptr<Layer>>;

  std::unique_ptr<Model> model;
  std::shared_ptr<Layer> producer;  // null when fed by the input
  LayerParams::Values params{{"units", 2}, {"weights_bits", 8}, {"output_bits", 8}};
  std::shared_ptr<Layer> dense;
};

P layout(const Chain& chain, bool flat_input = false) { return get_fnp_supported_padding(*chain.dense, flat_input); }

// A Dense1D whose only input shape has two dimensions.
class TwoDimensionalDense final : public LayerImpl {
 public:
  explicit TwoDimensionalDense(const LayerParams& params) : LayerImpl(LayerType::Dense1D, params, "flat") {}

 protected:
  LayerBuild build(const LayerInputs&) const override {
    LayerBuild build;
    build.inputs = {Shape{4, 4}};
    build.input_bits = 8;
    return build;
  }
};

TEST(FnpInputLayout, WithoutASpatialProducerTheInputIsPackedWithin2048Slots) {
  EXPECT_EQ(layout(Chain(Feed::Input, 1, 1, 2048, 8)), P::Packed);
  EXPECT_EQ(layout(Chain(Feed::Input, 1, 1, 2049, 8)), P::Unfit);
  EXPECT_EQ(layout(Chain(Feed::Input, 1, 1, 2048, 4)), P::Packed);
  EXPECT_EQ(layout(Chain(Feed::Input, 1, 1, 2049, 4)), P::Unfit);  // 1025 bytes take 1028: 2052 slots
  EXPECT_EQ(layout(Chain(Feed::Input, 4, 4, 129, 8)), P::Unfit);
  EXPECT_EQ(layout(Chain(Feed::Fnp, 1, 1, 2048, 8)), P::Packed);
  EXPECT_EQ(layout(Chain(Feed::Concat, 4, 4, 64, 8)), P::Packed);
  // Taken flat, a CNP's output is packed too: 5 x 5 x 64 = 1600 values.
  EXPECT_EQ(layout(Chain(Feed::Cnp, 5, 5, 64, 8), true), P::Packed);
}

TEST(FnpInputLayout, SpatialAndHrcProducersGiveRowLayouts) {
  // roundup4(4) x 128 x 4 = 2048 word-aligned line slots.
  EXPECT_EQ(layout(Chain(Feed::Cnp, 4, 4, 128, 8)), P::ChannelRowAligned);
  EXPECT_EQ(layout(Chain(Feed::TnpB, 4, 4, 128, 8)), P::ChannelRowAligned);
  EXPECT_EQ(layout(Chain(Feed::Hrc, 4, 4, 128, 8)), P::RowAligned);  // never word-aligned lines
  EXPECT_EQ(layout(Chain(Feed::Cnp, 4, 4, 128, 8, {{"weights_bits", 4}})), P::RowAligned);
  // 8 x 64 x 5 = 2560 word-aligned slots are too many; 320 x 5 = 1600 byte-aligned ones fit.
  EXPECT_EQ(layout(Chain(Feed::Cnp, 5, 5, 64, 8)), P::RowAligned);
  EXPECT_EQ(layout(Chain(Feed::Cnp, 5, 7, 64, 8)), P::Unfit);  // 320 x 7 = 2240
  // Rows start on words: 409 values take 412 slots, 5 rows 2060 (although 2045 values).
  EXPECT_EQ(layout(Chain(Feed::Hrc, 1, 5, 409, 8)), P::Unfit);
  EXPECT_EQ(layout(Chain(Feed::Hrc, 1, 4, 509, 8)), P::RowAligned);  // 512 x 4
  // 4-bit: 1024 bytes hold 2048 values; 2050 values take 1025 bytes, padded to 1028.
  EXPECT_EQ(layout(Chain(Feed::Cnp, 2, 1, 1024, 4)), P::RowAligned);
  EXPECT_EQ(layout(Chain(Feed::Cnp, 2, 1, 1025, 4)), P::Unfit);

  const auto params = LayerParams::create(LayerType::Dense1D, {{"units", 1}});
  const auto flat = std::make_shared<TwoDimensionalDense>(*params);
  auto model = Model::create();
  model->add(test::input_layer(4, 4, 1));
  model->add(flat);
  EXPECT_THAT([&] { get_fnp_supported_padding(*flat, true); },
              throws_text<std::runtime_error>("Error when formatting the FNP inputs, the padding is undefined."));
}

class FnpConstraintsTest : public ::testing::Test {
 protected:
  FnpConstraintsTest() {
    constraints.fnp_input_memory_size = 512;
    constraints.input_shift_memory_size = 256;
  }
  // The check of the chain's Dense1D, given the producer as inbound layer (or null).
  LayerMappingStatus check(const Chain& chain, bool with_inbound = true) const {
    return check_fnp_constraints(constraints, *chain.dense, with_inbound ? chain.producer.get() : nullptr);
  }
  LayerMappingStatus check_first(int32_t bits, const LayerParams::Values& params, uint32_t c = 16) const {
    return check(Chain(Feed::Input, 1, 1, c, bits, params), false);
  }

  HardwareConstraints constraints;
};

TEST_F(FnpConstraintsTest, BitWidthRulesEachAddTheirLine) {
  EXPECT_EQ(check_first(8, {}), LayerMappingStatus("dense"));
  EXPECT_EQ(check_first(16, {}).message(), "Input should be 4-bit or 8-bit.");
  EXPECT_EQ(check_first(8, {{"output_bits", 5}}).message(),
            "Output bits should be 4, 8 or > 8.\nWithout activation output bitwidth should be 8, 28 or 32.");
  EXPECT_EQ(check_first(8, {{"output_bits", 16}}).message(),
            "Without activation output bitwidth should be 8, 28 or 32.");
  EXPECT_TRUE(check_first(8, {{"output_bits", 32}}).success());
  EXPECT_EQ(check_first(8, {{"output_bits", 16}, {"activation", 1}}).message(),
            "With activation output bitwidth should be 4 or 8.");
  EXPECT_TRUE(check_first(8, {{"output_bits", 4}, {"activation", 1}}).success());
  EXPECT_EQ(check_first(8, {{"output_bits", 4}, {"activation", 2}}).message(),
            "4-bit activation is not supported with LUT.");
  EXPECT_EQ(check_first(8, {{"weights_bits", 4}}).message(), "With 4-bit weights, output must be 4-bit or 32-bit.");
  EXPECT_TRUE(check_first(8, {{"weights_bits", 4}, {"output_bits", 32}}).success());
  EXPECT_EQ(check_first(4, {}).message(), "Input bits should be >= weights bits.");

  Chain two_bit(Feed::Input, 1, 1, 16, 8, {{"weights_bits", 2}});
  EXPECT_EQ(check(two_bit, false).message(), "Weights bitwidth should be 4-bit or 8-bit.");
  const int8_t three = 3;
  auto weights = Dense::create(TensorType::int8, Shape{16, 2});
  weights->data<int8_t>()[5] = three;
  two_bit.dense->variables().set("weights", weights);
  EXPECT_EQ(check(two_bit, false).message(),
            "Weights bitwidth should be 4-bit or 8-bit.\nExpected bitwidth is 2-bit but provided weights are 3-bit.");

  // Several rules at once, in rule order: 4-bit input under 8-bit weights, output 5, 2049 values.
  EXPECT_EQ(check_first(4, {{"output_bits", 5}}, 2049),
            LayerMappingError("dense",
                              "Output bits should be 4, 8 or > 8.\n"
                              "Without activation output bitwidth should be 8, 28 or 32.\n"
                              "Input dimensions are too large to fit in a FNP. The maximum value is 2048.\n"
                              "Input bits should be >= weights bits."));
}

TEST_F(FnpConstraintsTest, TheLayoutMustFitAndSuitTheInboundKind) {
  const std::string too_large = "Input dimensions are too large to fit in a FNP. The maximum value is 2048.";
  EXPECT_TRUE(check(Chain(Feed::Cnp, 5, 5, 64, 8)).success());    // RowAligned
  EXPECT_TRUE(check(Chain(Feed::Cnp, 4, 4, 128, 8)).success());   // ChannelRowAligned
  EXPECT_TRUE(check(Chain(Feed::Hrc, 4, 4, 128, 8)).success());   // RowAligned
  EXPECT_TRUE(check(Chain(Feed::Fnp, 1, 1, 64, 8)).success());    // Packed
  EXPECT_TRUE(check(Chain(Feed::Cnp, 5, 5, 64, 8), false).success());  // first of its run: flat
  EXPECT_EQ(check(Chain(Feed::Cnp, 5, 7, 64, 8)).message(), too_large);
  EXPECT_EQ(check(Chain(Feed::Input, 1, 1, 2049, 8), false), LayerMappingError("dense", too_large));
  // Packed fits, but only an FNP (or nothing) writes a packed input.
  EXPECT_EQ(check(Chain(Feed::Concat, 2, 2, 8, 8)).message(), too_large);
  const Chain first(Feed::Input, 2, 2, 8, 8);
  EXPECT_EQ(check_fnp_constraints(constraints, *first.dense, first.model->get_layer(0).get()).message(), too_large);
}

TEST_F(FnpConstraintsTest, MemoryRulesRunOnlyOnceEveryOtherRulePasses) {
  // 100 packed 8-bit values: 13 shift words (39 bytes), 25 input words (100 bytes).
  constraints.input_shift_memory_size = 13;
  constraints.fnp_input_memory_size = 25;
  EXPECT_TRUE(check_first(8, {}, 100).success());
  constraints.input_shift_memory_size = 12;
  constraints.fnp_input_memory_size = 24;
  EXPECT_EQ(check_first(8, {}, 100).message(),
            "Input shift exceeds memory. Maximum size is 36 bytes. (got 39 bytes).\n"
            "Input size exceeds memory. Maximum size is 96 bytes. (got 100 bytes).");
  EXPECT_EQ(check_first(8, {{"output_bits", 16}}, 100).message(),
            "Without activation output bitwidth should be 8, 28 or 32.");

  // RowAligned 5 x 5 x 64: 80 words a row, 1600 slots (200 shift words), 400 input words.
  constraints.input_shift_memory_size = 199;
  constraints.fnp_input_memory_size = 399;
  EXPECT_EQ(check(Chain(Feed::Cnp, 5, 5, 64, 8)).message(),
            "Input shift exceeds memory. Maximum size is 597 bytes. (got 600 bytes).\n"
            "Input size exceeds memory. Maximum size is 1596 bytes. (got 1600 bytes).");
}

TEST(FnpSizes, AnInputFromOutsideTheDeviceIsSizedAsTheFlatVectorItIsRecordedAs) {
  const Chain first(Feed::Input, 4, 4, 8, 8, {{"units", 10}});
  EXPECT_EQ(test::dims(get_fnp_input_dim(*first.dense, false)), (std::vector<uint32_t>{1, 1, 128}));
  EXPECT_EQ(get_fnp_input_size(*first.dense, false), 32u);
  EXPECT_EQ(get_fnp_sram_size(*first.dense), 10u * (32 + 2));  // not 10 x (2 + 2) for 8 channels

  // Fed by a CNP, 4-bit, RowAligned unless taken flat.
  const Chain fed(Feed::Cnp, 5, 5, 64, 4, {{"units", 3}, {"weights_bits", 4}});
  EXPECT_EQ(test::dims(get_fnp_input_dim(*fed.dense, false)), (std::vector<uint32_t>{5, 5, 64}));
  EXPECT_EQ(test::dims(get_fnp_input_dim(*fed.dense, true)), (std::vector<uint32_t>{1, 1, 1600}));
  EXPECT_EQ(get_fnp_input_size(*fed.dense, false), 48u * 5);  // 3-byte lines, 48-word rows
  EXPECT_EQ(get_fnp_input_size(*fed.dense, true), 200u);
  // Rows of 64 lines of 6 slots (384); 384 x 4 bits x 5 rows = 240 words.
  EXPECT_EQ(get_fnp_sram_size(*fed.dense), 3u * (240 + 2));
}

TEST(FnpSizes, CheckerAndSizerTakeTheFnpFigures) {
  HardwareConstraints table;
  table.fnp3_sram_size = 2064;
  test::FakeMeshDevice device({0xD3, 0xA2, 1, 0}, test::empty_mesh(IpVersion::v2));
  const CompatibilityCheckerImpl checker(&device, &table);
  const Chain wide(Feed::Input, 1, 1, 64, 8, {{"units", 114}});  // 2064 words
  EXPECT_TRUE(checker.check_fnp3_sram_size(table, *wide.dense));
  HardwareConstraints smaller = table;
  smaller.fnp3_sram_size = 2063;
  EXPECT_FALSE(checker.check_fnp3_sram_size(smaller, *wide.dense));
  EXPECT_EQ(checker.check_layer_compatibility(*Chain(Feed::Input, 1, 1, 8, 4).dense, nullptr, {}),
            LayerMappingError("dense", "Input bits should be >= weights bits."));

  const MemorySizerImpl sizer;
  const Chain fed(Feed::Cnp, 5, 5, 64, 4, {{"units", 3}, {"weights_bits", 4}});
  const hw::Component fnp2{hw::Type::FNP2, {}, NpAllocation{}, {}};
  const hw::Component fnp3{hw::Type::FNP3, {}, NpAllocation{}, {}};
  EXPECT_EQ(sizer.get_input_memory_size(fed.dense, fnp3, fed.dense), 4u * 200);  // first of its sequence
  EXPECT_EQ(sizer.get_input_memory_size(fed.dense, fnp3, fed.producer), 4u * 240);
  EXPECT_EQ(sizer.get_weight_memory_size(fed.dense, fnp3), 4u * 726);
  EXPECT_EQ(sizer.get_weight_memory_size(fed.dense, fnp2), 0u);
  EXPECT_EQ(sizer.get_external_memory_size(fed.dense, fnp2, false, false), 4u * 726);
  EXPECT_EQ(sizer.get_external_memory_size(fed.dense, fnp3, false, false), 0u);
}

}  // namespace
}  // namespace ornix::v2
