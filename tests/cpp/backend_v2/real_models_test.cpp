#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "backend_v2/real_model.h"

// Real models, end to end: built-in back end, simulated v2 device, no fake.

namespace ornix::test {
namespace {

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

}  // namespace
}  // namespace ornix::test
