#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "backend/v1/cnp_recording.h"
#include "backend/v1/hrc_recording.h"
#include "backend_v1/v1_fixtures.h"
#include "backend_v1/v1_layers.h"
#include "backend_v2/dma_blocks.h"

// Generation-1 layers that leave parameters out pass the checks and record exactly as the
// layers that give the values the engine stored for them.

namespace ornix::v1::test {
namespace {

struct OmittedRow {
  LayerType type;
  std::vector<std::string> left_out;
  LayerParams::Values stored;  // what the engine keeps for them
  bool passes;                 // false: both are refused with the same status
};

// The check's text and, when it passes, the recorded blocks.
struct Outcome {
  std::string status;
  std::vector<v2::test::DmaBlock> blocks;
  bool operator==(const Outcome&) const = default;
};

// An InputConvolutional (8x8x3) on the HRC, or a Convolutional after an 8x4x2 input of 4 bits
// on one CNP taking the whole input.
Outcome check_and_record(LayerType type, const LayerParams::Values& values) {
  const V1Checker v1;
  if (type == LayerType::InputConvolutional) {
    auto model = Model::create();
    const auto layer = ornix::test::add_layer(*model, type, values);
    set_bytes(*layer, "weights", {1});
    Outcome outcome{v1.check(*layer), {}};
    if (outcome.status == "Success.") {
      outcome.blocks = v2::test::dma_blocks(*record_program_hrc_layer(v1.device, *layer));
    }
    return outcome;
  }
  hw::Component cnp = np(hw::Type::CNP1, 3);
  cnp.allocation = NpAllocation{0, 8, {0, 0, {8, 4, 2}}, {0, 0, {8, 4, 2}}, true};
  MappedLayer conv(type, values, Shape{8, 4, 2}, 4, {cnp});
  conv.mapping->inputs = {std::make_shared<Components>(Components{np(hw::Type::DMA, 1)})};
  conv.mapping->outputs = conv.mapping->inputs;
  set_bytes(*conv.layer, "weights", {1});
  Outcome outcome{v1.check(*conv.layer), {}};
  if (outcome.status == "Success.") {
    outcome.blocks =
        v2::test::dma_blocks(*record_program_conv_layer(v1.device, *conv.layer, nullptr, false, false, {}, false));
  }
  return outcome;
}

TEST(OmittedParameters, PassTheChecksAndRecordAsTheStoredDefaults) {
  using T = LayerType;
  const std::vector<OmittedRow> rows = {
      // The base layers give no pooling window and no padding value.
      {T::InputConvolutional, {}, {{"pooling_width", 0}, {"pooling_height", 0}, {"padding_value", 0}}, true},
      {T::InputConvolutional, {"stride_x", "stride_y"}, {{"stride_x", 1}, {"stride_y", 1}}, true},
      {T::InputConvolutional, {"pool_type"}, {{"pool_type", 0}}, true},
      {T::InputConvolutional, {"act_bits"}, {{"act_bits", 8}}, false},
      {T::Convolutional, {"stride_x"}, {{"stride_x", 1}}, true},
      {T::Convolutional, {"pool_type"}, {{"pool_type", 0}}, true},
      {T::Convolutional, {"padding"}, {{"padding", 0}}, false},  // Valid: refused as when given
      {T::Convolutional, {"activation", "act_bits"}, {{"activation", 0}, {"act_bits", 0}}, true},
      {T::Convolutional, {"weights_bits"}, {{"weights_bits", 8}}, false},
  };
  for (const OmittedRow& row : rows) {
    LayerParams::Values without = base_params(row.type);
    for (const std::string& key : row.left_out) without.erase(key);
    LayerParams::Values given = without;
    for (const auto& [key, value] : row.stored) given[key] = value;
    const std::string label = row.left_out.empty() ? "base" : row.left_out.front();
    const Outcome omitted = check_and_record(row.type, without);
    EXPECT_EQ(omitted, check_and_record(row.type, given)) << label;
    EXPECT_EQ(omitted.status == "Success.", row.passes) << label << ": " << omitted.status;
    EXPECT_EQ(omitted.blocks.empty(), !row.passes) << label;
  }
}

}  // namespace
}  // namespace ornix::v1::test
