#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "backend_v2/real_model.h"

// Real models, end to end: built-in back end, simulated v2 device, no fake.

namespace ornix::test {
namespace {

// Maps the model into one sequence of `passes` passes named `name`, reads its program back
// and runs it: the outputs have the model's output shape.
void expect_maps_and_runs(RealModel& m, size_t passes, const std::string& name,
                          std::shared_ptr<MapConstraints> constraints = nullptr) {
  ASSERT_EQ(m.map(std::move(constraints)), "");
  ASSERT_EQ(m.model->sequences().size(), 1u);
  const auto sequence = m.sequence(0);
  EXPECT_EQ(sequence->name(), name);
  EXPECT_EQ(sequence->passes().size(), passes);
  m.read_program(*sequence);
  const Shape out = m.model->output_shape();
  EXPECT_EQ(m.run()->shape(), (Shape{2, out[0], out[1], out[2]}));
}


// input 8x8x8 -> conv (8 filters) -> dequantizer.
TEST(RealModels, ConvolutionIntoDequantizerMapsAndPredictsFloats) {
  RealModel m({8, 8, 8});
  const auto conv = m.add(LayerType::Conv2D, conv_params(3, 8), "conv");
  const auto dequantizer = m.add(LayerType::Dequantizer, {}, "dequantizer");
  const std::vector<float> scales{0.5F, 1, 2, 4, 0.25F, 8, 16, 3};
  dequantizer->variables().set("scales", Dense::copy(scales.data(), scales.size() * 4, TensorType::float32, Shape{8}));
  ASSERT_EQ(m.map(), "");
  ASSERT_EQ(m.model->sequences().size(), 1u);
  const auto sequence = m.sequence(0);
  EXPECT_EQ(sequence->name(), "HW/conv-dequantizer");
  EXPECT_EQ(sequence->passes().size(), 1u);
  // The convolution sends its outputs to the DMA: the dequantizer takes no component.
  const LayerMapping& mapping = *layer_mapping_of(*conv);
  ASSERT_EQ(mapping.outputs.size(), 1u);
  EXPECT_EQ(mapping.outputs[0]->front().type, hw::Type::DMA);
  EXPECT_TRUE(mapping.p2p_output);

  const Blob blob = m.read_program(*sequence);
  EXPECT_EQ(blob.info->output_bits(), 8u);  // the dequantizer's input bits
  EXPECT_EQ(std::vector<float>(blob.info->scales()->begin(), blob.info->scales()->end()), scales);
  EXPECT_EQ(std::vector<int32_t>(blob.info->thresholds()->begin(), blob.info->thresholds()->end()),
            std::vector<int32_t>(8, 0));
  const auto outputs = m.run();
  EXPECT_EQ(outputs->shape(), (Shape{2, 8, 8, 8}));
  EXPECT_EQ(outputs->type(), TensorType::float32);  // predicted, not forwarded
}

// input 8x8x8 -> stem (8) -> left (8) -> right (8); concat(left, right) -> head (16): left's
// branch skips right.
TEST(RealModels, TwoBranchesJoinedByAConcatenate) {
  RealModel m({8, 8, 8});
  const auto stem = m.add(LayerType::Conv2D, conv_params(3, 8), "stem");
  const auto left = m.add(LayerType::Conv2D, conv_params(3, 8), "left", {stem});
  const auto right = m.add(LayerType::Conv2D, conv_params(1, 8), "right", {left});
  m.add(LayerType::Concatenate, {}, "concat", {left, right});
  m.add(LayerType::Conv2D, conv_params(3, 16), "head");
  expect_maps_and_runs(m, 1, "HW/stem-head");
  // right, the deeper input, writes its channels after left's 8.
  EXPECT_EQ(layer_mapping_of(*right)->sram_output_shift, 8u);
  EXPECT_NE(layer_mapping_of(*left)->skip_store, nullptr);
}

// On a mesh of four CNPs: a, b, c of one NP each, wide over all four (filter limit 4), d of one
// NP: three passes. An NP that ends one pass and starts the next double-buffers its input on
// both sides (c's and wide's NP 2, wide's and d's NP 0); every other NP single-buffers.
TEST(RealModels, MoreLayersThanOnePassHoldsMapIntoPasses) {
  RealModel m({8, 8, 8}, cnp_columns(2, 2));
  const auto constraints = std::make_shared<MapConstraints>(m.device);
  constraints->set_cnp_max_filters(4);
  constraints->set_hwpr_loopitself(true);  // a layer may take the NPs of the layer before it
  std::vector<std::shared_ptr<Layer>> layers;
  for (const char* name : {"a", "b", "c"}) layers.push_back(m.add(LayerType::Conv2D, conv_params(3, 4), name));
  layers.push_back(m.add(LayerType::Conv2D, conv_params(3, 16), "wide"));
  layers.push_back(m.add(LayerType::Conv2D, conv_params(3, 4), "d"));
  expect_maps_and_runs(m, 3, "HW/a-d", constraints);
  const std::vector<std::vector<uint8_t>> ids{{0}, {1}, {2}, {0, 1, 2, 3}, {0}};
  const std::vector<std::vector<bool>> single{{true}, {true}, {false}, {false, true, false, true}, {false}};
  for (size_t i = 0; i < layers.size(); ++i) {
    const std::vector<hw::Component>& nps = *layer_mapping_of(*layers[i])->nps;
    ASSERT_EQ(nps.size(), ids[i].size()) << layers[i]->name();
    for (size_t k = 0; k < nps.size(); ++k) {
      EXPECT_EQ(nps[k].ident, (hw::Ident{2, 1, ids[i][k], 0})) << layers[i]->name();
      EXPECT_EQ(nps[k].allocation->single_buffer, single[i][k]) << layers[i]->name() << " " << k;
    }
  }
}

// input 8x8x3 -> InputConv2D on the HRC (8 filters) -> conv (16).
TEST(RealModels, InputConvolutionOnTheHrcStartsTheModel) {
  RealModel m({8, 8, 3}, cnp_columns(2, 5), true);
  const auto hrc = m.add(LayerType::InputConv2D, conv_params(3, 8, {{"pool_size", 1}, {"pool_stride", 1}}), "hrc");
  const auto weights = hrc->variables().get("weights");  // all-zero weights are refused
  const auto ones = Dense::create(weights->type(), weights->shape(), weights->layout());
  std::memset(ones->buffer(), 1, ones->byte_size());
  hrc->variables().set("weights", ones);
  m.add(LayerType::Conv2D, conv_params(3, 16), "conv");
  expect_maps_and_runs(m, 1, "HW/hrc-conv");
  const LayerMapping& mapping = *layer_mapping_of(*hrc);
  ASSERT_EQ(mapping.nps->size(), 1u);
  EXPECT_EQ(mapping.nps->front().type, hw::Type::HRC);
  EXPECT_EQ(mapping.layer_id, LayerMapping::kHrcLayerId);
}

// input 16x16x16 -> conv (16) -> dw (depthwise) -> add(conv, dw) -> up (Conv2DTranspose, 8)
// -> dwup (DepthwiseConv2DTranspose): the plane doubles twice.
TEST(RealModels, TransposedAndDepthwiseConvolutionsWithASkipConnection) {
  RealModel m({16, 16, 16});
  const auto conv = m.add(LayerType::Conv2D, conv_params(3, 16), "conv");
  const auto dw = m.add(LayerType::DepthwiseConv2D, conv_params(3, 16), "dw");
  m.add(LayerType::Add, {}, "add", {conv, dw});
  const LayerParams::Values transposed{{"activation", 1}, {"weights_bits", 8}, {"output_bits", 8}};
  LayerParams::Values up = transposed, dwup = transposed;
  up.insert({{"kernel_size", 3}, {"filters", 8}});
  dwup.insert({"kernel_size", 4});
  m.add(LayerType::Conv2DTranspose, up, "up");
  m.add(LayerType::DepthwiseConv2DTranspose, dwup, "dwup");
  expect_maps_and_runs(m, 1, "HW/conv-dwup");
  EXPECT_EQ(m.model->output_shape(), (Shape{64, 64, 8}));
  EXPECT_NE(layer_mapping_of(*conv)->skip_store, nullptr);
}

// input 8x8x8 -> small (2048 filters) -> huge (7x7 kernel over 2048 channels): not one filter of
// huge fits an NP's weight memory. small alone maps, but into no sequence the model keeps.
TEST(RealModels, LayerTooLargeForAnyNpIsRefusedAndNothingStaysMapped) {
  RealModel m({8, 8, 8});
  const auto small = m.add(LayerType::Conv2D, conv_params(3, 2048), "small");
  const auto huge = m.add(LayerType::Conv2D, conv_params(7, 8), "huge");
  EXPECT_EQ(m.map(),
            "Cannot map layer 'huge'. Filter size is too big to fit in a CNP: try decreasing the input channels or the "
            "bitwidth.");
  EXPECT_TRUE(m.model->sequences().empty());
  EXPECT_EQ(layer_mapping_of(*huge), nullptr);
  EXPECT_EQ(layer_mapping_of(*small), nullptr);
}

}  // namespace
}  // namespace ornix::test
