#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "backend_v2/real_model.h"

// Layers that leave parameters out map as the layers that give the values the engine stored for
// them: the checks and the recorders read the same values as the software run.

namespace ornix::test {
namespace {

struct OmittedRow {
  LayerType type;
  std::vector<std::string> left_out;
  LayerParams::Values stored;  // what the engine keeps for them
  std::string refusal;         // empty: both map
};

// input 8x8x3 -> the layer (8 filters, 3x3, on the HRC for an InputConv2D) -> conv (8).
struct Outcome {
  std::string error;
  std::vector<uint8_t> program;
};

Outcome map_model(LayerType type, const LayerParams::Values& values) {
  RealModel m({8, 8, 3}, cnp_columns(2, 5), true);
  const auto first = m.add(type, values, "first");
  const auto weights = first->variables().get("weights");  // all-zero weights are refused
  const auto ones = Dense::create(weights->type(), weights->shape(), weights->layout());
  std::memset(ones->buffer(), 1, ones->byte_size());
  first->variables().set("weights", ones);
  m.add(LayerType::Conv2D, conv_params(3, 8), "conv");
  Outcome outcome{m.map(), {}};
  if (outcome.error.empty()) {
    const Sequence::Bytes program = m.sequence(0)->program();
    outcome.program.assign(program.data, program.data + program.size);
  }
  return outcome;
}

TEST(OmittedParameters, MapAsTheStoredDefaults) {
  const std::vector<OmittedRow> rows = {
      {LayerType::Conv2D, {"weights_bits"}, {{"weights_bits", 8}}, ""},
      {LayerType::Conv2D, {"pool_type"}, {{"pool_type", 0}}, ""},
      {LayerType::Conv2D, {"kernel_stride"}, {{"kernel_stride", 1}}, ""},
      {LayerType::Conv2D, {"activation"}, {{"activation", 0}, {"act_bits", 0}}, ""},
      // Valid padding, which the CNP refuses whether stored or given.
      {LayerType::Conv2D, {"padding"}, {{"padding", 0}},
       "Cannot map layer 'first'. Only padding 'Same' is supported."},
      {LayerType::InputConv2D, {"pool_type"}, {{"pool_type", 0}, {"pool_size", 0}, {"pool_stride", -1}}, ""},
      {LayerType::InputConv2D, {"weights_bits", "kernel_stride"}, {{"weights_bits", 8}, {"kernel_stride", 1}}, ""},
  };
  for (const OmittedRow& row : rows) {
    LayerParams::Values without = conv_params(3, 8);
    for (const std::string& key : row.left_out) without.erase(key);
    LayerParams::Values given = without;
    for (const auto& [key, value] : row.stored) given[key] = value;
    const Outcome omitted = map_model(row.type, without);
    const Outcome explicit_values = map_model(row.type, given);
    EXPECT_EQ(omitted.error, row.refusal) << row.left_out.front();
    EXPECT_EQ(explicit_values.error, row.refusal) << row.left_out.front();
    EXPECT_EQ(omitted.program, explicit_values.program) << row.left_out.front();
    EXPECT_EQ(omitted.program.empty(), !row.refusal.empty()) << row.left_out.front();
  }
}

}  // namespace
}  // namespace ornix::test
