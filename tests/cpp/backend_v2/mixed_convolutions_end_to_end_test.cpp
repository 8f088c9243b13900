#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "backend_v2/dma_blocks.h"
#include "backend_v2/simulated_v2_device.h"
#include "engine/layer_fixtures.h"
#include "mapping/hardware_backend.h"
#include "mapping/hardware_backend_registration.h"
#include "mapping/layer_mapping.h"
#include "ornix/program_info.h"
#include "program/hardware_sequence.h"
#include "program/serializer_fixture.h"
#include "support/fake_mapping.h"

// A model mixing the four CNP convolutions goes through the built-in back end, with the real
// generation-2 checker, sizer and recorders, onto a simulated IP v2 device.

namespace ornix::test {
namespace {

using Words = std::vector<uint32_t>;
using v2::test::block_shapes;
using v2::test::BlockShape;

LayerParams::Values params(LayerParams::Values values) {
  values.insert({{"activation", 1}, {"weights_bits", 8}, {"output_bits", 8}});
  return values;
}

// What each NP of a layer receives: weights (target 1), input shifts and variables, in words.
struct LayerProgram {
  std::shared_ptr<Layer> layer;
  size_t weights;
  size_t input_shifts;
  size_t variables;
};

// input 48x48x16 -> conv (Conv2D, 32 filters) -> dw (DepthwiseConv2D) -> up (Conv2DTranspose, 8
// filters) -> dwup (DepthwiseConv2DTranspose, kernel 4), 8-bit throughout; the transposed layers
// double the plane to 96x96, then 192x192.
TEST(MixedConvolutionsEndToEnd, ModelIsProgrammedAndRuns) {
  const ScopedMapper mapper(make_hardware_mapper([] { return std::make_unique<HardwareBackend>(); }));
  SimulatedDriver driver;
  const auto device = simulated_v2_device(driver);
  auto model = model_with_input(48, 48, 16);
  const LayerParams::Values same{{"kernel_size", 3}, {"kernel_stride", 1}, {"padding", 1}, {"pool_type", 0}};
  LayerParams::Values conv_params = same;
  conv_params["filters"] = 32;
  const auto conv = add_layer(*model, LayerType::Conv2D, params(conv_params), "conv");
  const auto dw = add_layer(*model, LayerType::DepthwiseConv2D, params(same), "dw");
  const auto up = add_layer(*model, LayerType::Conv2DTranspose, params({{"kernel_size", 3}, {"filters", 8}}), "up");
  const auto dwup = add_layer(*model, LayerType::DepthwiseConv2DTranspose, params({{"kernel_size", 4}}), "dwup");
  model->map(device, true, nullptr);

  ASSERT_EQ(model->sequences().size(), 1u);
  const auto sequence = std::dynamic_pointer_cast<HardwareSequence>(model->sequences()[0]);
  ASSERT_NE(sequence, nullptr);
  const Sequence::Bytes program = sequence->program();
  const ProgramInfo info(program.data, program.size);
  EXPECT_EQ(info.pass_count(), 1u);
  EXPECT_EQ(info.output_shape(), (std::vector<uint32_t>{192, 192, 8}));

  // Records: the SCC, then one per layer, each NP's blocks in mapping order: registers, weights,
  // input shifts (8 per two words), two words of variables per filter. Weights: conv 16
  // channels x 24 words of 100 bits x 3; dw 32 channels x 3; up 32 channels x 6 x 3; dwup 8
  // channels x 2 x 3. The depthwise layers' NPs here hold every channel, as the mapping splits
  // the plane.
  const std::vector<LayerProgram> layers{{conv, 16 * 72, 4, 64}, {dw, 96, 8, 64}, {up, 32 * 18, 8, 16},
                                         {dwup, 48, 2, 16}};
  const Blob blob(std::vector<uint8_t>(program.data, program.data + program.size));
  const auto* records = blob.info->pass_spans()->Get(0)->records();
  ASSERT_EQ(records->size(), 1u + layers.size());
  for (flatbuffers::uoffset_t i = 0; i < layers.size(); ++i) {
    const LayerProgram& expected = layers[i];
    const std::string name = expected.layer->name();
    const auto* tracks = records->Get(i + 1)->tracks();
    ASSERT_EQ(tracks->size(), 1u) << name;
    const LayerMapping& mapping = *layer_mapping_of(*expected.layer);
    std::vector<BlockShape> shapes;
    for (const hw::Component& np : *mapping.nps) {
      shapes.insert(shapes.end(), {{np.ident, 7, 64},
                                   {np.ident, 1, expected.weights},
                                   {np.ident, 2, expected.input_shifts},
                                   {np.ident, 5, expected.variables}});
    }
    const Words words = blob.words_at(tracks->Get(0));
    EXPECT_EQ(block_shapes(words), shapes) << name;

    // Register word 3 bit 2 marks the depthwise forms, word 20 bit 9 the transposed ones.
    const bool depthwise = expected.layer == dw || expected.layer == dwup;
    const bool transposed = expected.layer == up || expected.layer == dwup;
    EXPECT_EQ(words[2 + 3] >> 2 & 1, depthwise ? 1u : 0u) << name;
    EXPECT_EQ(words[2 + 20] >> 9 & 1, transposed ? 1u : 0u) << name;
  }
  EXPECT_GE(layer_mapping_of(*dw)->nps->size(), 2u);

  // The device is programmed once and runs the sequence.
  const auto outputs = model->forward(Dense::create(TensorType::uint8, Shape{2, 48, 48, 16}), 0);
  EXPECT_EQ(outputs->shape(), (Shape{2, 192, 192, 8}));
  EXPECT_EQ(driver.program_count(), 1u);
}

}  // namespace
}  // namespace ornix::test
