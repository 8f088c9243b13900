#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <typeinfo>
#include <vector>

#include "backend/v1/hrc_recording.h"
#include "backend/v1/hrc_register_format.h"
#include "backend/v1/np_registers.h"
#include "backend_v2/dma_blocks.h"
#include "engine/layer_fixtures.h"
#include "program/hrc_format.h"
#include "support/fake_mesh_device.h"

namespace ornix::v1 {
namespace {

using ornix::test::throws_text;
using Words = std::vector<uint32_t>;

std::shared_ptr<Dense> int32s(const std::vector<int32_t>& values) {
  return Dense::copy(values.data(), values.size() * 4, TensorType::int32, Shape{uint32_t(values.size())});
}
std::string overflow(uint32_t value, int width) {
  return "Attempted to write value " + std::to_string(value) + " into a " + std::to_string(width) +
         "-bit field, which will cause an overflow.";
}

TEST(HrcThresholdSteps, PacksTwentyFourBitThresholdsAndStepsAsGiven) {
  EXPECT_EQ(format_hrc_threshold_steps(*int32s({-1, 8388607, -8388608}), *int32s({16, -16, 0})),
            (Words{0x00FFFFFF, 16, 0x007FFFFF, 0xFFFFFFF0, 0x00800000, 0}));
  EXPECT_THAT([] { format_hrc_threshold_steps(*int32s({8388608}), *int32s({0})); },
              throws_text<std::runtime_error>("8388608 cannot fit in a 24 bits signed integer."));
  EXPECT_THAT([] { format_hrc_threshold_steps(*int32s({1, 2}), *int32s({0})); },
              throws_text<std::invalid_argument>("The act_step tensor must hold one value per threshold."));
}

// Kernel 3, stride 1 x 1, Same padding, no pooling, 3 channels, act_bits 4, 64 filters.
LayerParams::Values same_3x3_params() {
  return {{"input_channels", 3}, {"padding", 1},        {"stride_x", 1},    {"stride_y", 1},
          {"pooling_width", -1}, {"pooling_height", -1}, {"pool_type", 0},  {"kernel_height", 3},
          {"filters", 64},       {"act_bits", 4},       {"padding_value", 0}};
}

struct RegsRow {
  LayerParams::Values changes;
  Words built;          // words 4 to 7 of the built record
  Words expected;       // empty when `error` is expected
  std::string error;
};

TEST(HrcRegisters, WordsAndFirstOverflowPerField) {
  const Words base{0x201, 0x11, 0, 0, 63u << 16, 0, 0, 0};
  auto with = [&](std::size_t word, uint32_t bits) {
    Words w = base;
    w[word] |= bits;
    return w;
  };
  const std::vector<RegsRow> rows = {
      {{}, {0, 0, 0, 0}, base, ""},
      {{{"kernel_height", 5}}, {0, 0, 0, 0}, with(0, 0x10), ""},
      {{{"kernel_height", 7}}, {0, 0, 0, 0}, with(0, 0x20), ""},
      {{{"pool_type", 1}, {"pooling_width", 2}, {"pooling_height", 2}}, {0, 0, 0, 0}, with(0, 0x30000), ""},
      {{{"pool_type", 2}, {"pooling_width", 2}, {"pooling_height", 2}}, {0, 0, 0, 0}, base, ""},
      {{{"padding", 0}}, {0, 0, 0, 0}, with(0, 0x302000), ""},
      {{{"input_channels", 1}}, {0, 0, 0, 0}, with(0, 0x1000), ""},
      {{{"stride_x", 7}, {"stride_y", 2}}, {0, 0, 0, 0}, {0x201, 0x72, 0, 0, 63u << 16, 0, 0, 0}, ""},
      {{{"padding_value", 0xAB}}, {0, 0, 0, 0}, with(2, 0xABABAB), ""},
      {{}, {1, 2, 3, 4}, with(3, 0x2143), ""},  // top, bottom, left, right
      {{{"stride_y", 9}, {"stride_x", 8}}, {0, 0, 0, 0}, {}, overflow(9, 3)},
      {{{"stride_x", 8}}, {0, 0, 0, 0}, {}, overflow(8, 3)},
      {{{"filters", 513}, {"act_bits", 8}}, {0, 0, 0, 0}, {}, overflow(512, 9)},
      {{{"act_bits", 8}, {"padding_value", 256}}, {0, 0, 0, 0}, {}, overflow(4, 2)},
      {{{"padding_value", 256}}, {9, 9, 9, 9}, {}, overflow(256, 8)},
      {{}, {9, 8, 0, 0}, {}, overflow(8, 3)},
      {{}, {0, 0, 0, 8}, {}, overflow(8, 3)},
  };
  for (const RegsRow& row : rows) {
    LayerParams::Values values = same_3x3_params();
    for (const auto& [key, value] : row.changes) values[key] = value;
    const auto params = LayerParams::create(LayerType::InputConvolutional, values);
    Words built{8, 8, 64, 8};
    built.insert(built.end(), row.built.begin(), row.built.end());
    if (row.error.empty()) {
      EXPECT_EQ(format_hrc_regs(*params, built), row.expected) << row.expected[0];
    } else {
      EXPECT_THAT([&] { format_hrc_regs(*params, built); }, throws_text<std::runtime_error>(row.error));
    }
  }
}

// A built 6 x 6 x 1 InputConvolutional layer of two 3x3 filters: one weight plane.
struct HrcLayer {
  HrcLayer() {
    LayerParams::Values values = same_3x3_params();
    values.insert({{"input_width", 6}, {"input_height", 6}, {"kernel_width", 3}, {"weights_bits", 8},
                   {"activation", 1}, {"pooling_stride_x", 1}, {"pooling_stride_y", 1}});
    values["input_channels"] = 1;
    values["filters"] = 2;
    layer = ornix::test::make_layer(LayerType::InputConvolutional, values, "hrc");
    model->add(layer);
    std::vector<int8_t> weights(18);
    for (int8_t i = 0; i < 18; ++i) weights[i] = static_cast<int8_t>(i - 9);
    layer->variables().set("weights", Dense::copy(weights.data(), 18, TensorType::int8, Shape{3, 3, 1, 2}));
    layer->variables().set("threshold", int32s({3, -2}));
    const std::vector<float> steps{1.0f, 2.5f};
    layer->variables().set("act_step", Dense::copy(steps.data(), 8, TensorType::float32, Shape{2}));
  }
  std::unique_ptr<Model> model = Model::create();
  std::shared_ptr<Layer> layer;
  ornix::test::FakeMeshDevice device{HwVersion{0xD3, 0x00, 0x00, 0x02}, ornix::test::empty_mesh(IpVersion::v1)};
};

TEST(HrcRecording, TracksInTheOrderTheDeviceTakesThem) {
  HrcLayer hrc;
  const HrcWeightWords planes = format_hrc_weights(*hrc.layer->variables().get("weights"));
  ASSERT_FALSE(planes[0].empty());
  ASSERT_TRUE(planes[1].empty() && planes[2].empty());
  const Words table{3, 16, 0xFFFFFE, 40};
  const Words regs{0x1201, 0x11, 0, 0x1111, 1u << 16, 0, 0, 0};  // 1 channel; padding 1 all round

  using Block = v2::test::DmaBlock;
  const std::vector<Block> expected = {
      {{}, 8, 8, regs},     {{}, 8, 32, {1, 0}},          {{}, 9, 40, planes[0]},
      {{}, 8, 32, {0x80000000, 0}}, {{}, 9, 40, table}, {{}, 8, 8, {0x1200}},
      {{}, 8, 0, {1}},      {{}, 8, 0, {0}},
  };
  EXPECT_EQ(v2::test::dma_blocks(*record_program_hrc_layer(hrc.device, *hrc.layer)), expected);
  EXPECT_EQ(get_hrc_sram_size(*hrc.layer), planes[0].size() + 4);
}

TEST(HrcRecording, RefusesLayersItCannotProgram) {
  HrcLayer hrc;
  auto loose = ornix::test::make_layer(LayerType::InputConvolutional, same_3x3_params(), "loose");
  EXPECT_THAT([&] { record_program_hrc_layer(hrc.device, *loose); },
              throws_text<std::runtime_error>("The layer loose is not built."));
  auto input = ornix::test::input_layer(4, 4, 1);
  EXPECT_THROW(record_program_hrc_layer(hrc.device, *input), std::bad_cast);

  program::Record record(hrc.device.version());
  record_hrc_sram(&record, HRC_SRAM_SELECT_G, {});
  EXPECT_TRUE(record.tracks.empty());
}

}  // namespace
}  // namespace ornix::v1
