#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <stdexcept>

#include "backend/v2/memory_sizer.h"
#include "engine/layer_fixtures.h"
#include "hardware/component.h"
#include "ornix/layer_impl.h"

namespace ornix::v2 {
namespace {

using test::make_layer;
using test::throws_text;

// A component computing 4 filters whose NP window has `channels` channels, in a padded window
// of width x height (whose own channel count is not read).
hw::Component component(hw::Type type, uint32_t channels = 1, uint32_t width = 1, uint32_t height = 1) {
  NpAllocation np;
  np.filters = 4;
  np.spatial_partition.shape = Shape{1, 1, channels};
  np.padded_partition.shape = Shape{width, height, 99};
  return hw::Component{type, {}, np, {}};
}

// A BufferTempConv without "fifo_size", which the engine's own class refuses; 8-bit, it keeps
// its input plane.
class FifoLessTemporal final : public LayerImpl {
 public:
  explicit FifoLessTemporal(const LayerParams& params) : LayerImpl(LayerType::BufferTempConv, params, "fifo_less") {}

 protected:
  LayerBuild build(const LayerInputs& inputs) const override {
    LayerBuild build;
    build.inputs = inputs.shapes;
    build.output = inputs.shapes.at(0);
    build.input_bits = build.output_bits = 8;
    return build;
  }
};

// input 10x6x3, 8 bits (depth 1) -> conv1 (10x6x3, 4 bits, depth 2); add(conv1, input) (depth
// 3) -> conv3 (10x6x2, 8 bits, depth 4); concat(conv1, conv3) (depth 5) -> deq (10x6x5, 32
// bits). After the input also: up (Conv2DTranspose), temporal (fifo 2), fifo_less.
class MemorySizerTest : public ::testing::Test {
 protected:
  using Layers = std::vector<std::shared_ptr<Layer>>;

  MemorySizerTest() {
    const auto in = model->get_layer(0);
    for (const auto& [layer, inbounds] : std::vector<std::pair<std::shared_ptr<Layer>, Layers>>{
             {conv1, {in}}, {sum, {conv1, in}}, {conv3, {sum}}, {concat, {conv1, conv3}}, {deq, {concat}},
             {up, {in}}, {temporal, {in}}, {fifo_less, {in}}}) {
      model->add(layer, inbounds);
    }
  }
  uint32_t input(const std::shared_ptr<Layer>& layer, const hw::Component& np) const {
    return sizer.get_input_memory_size(layer, np, layer);
  }
  uint32_t weight(const std::shared_ptr<Layer>& layer, const hw::Component& np) const {
    return sizer.get_weight_memory_size(layer, np);
  }
  uint32_t store(const std::shared_ptr<Layer>& layer, bool dual_output, bool several_passes) const {
    return sizer.get_external_memory_size(layer, component(hw::Type::SKIP_DMA_STORE), dual_output, several_passes);
  }
  static std::shared_ptr<Layer> conv(const char* name, int32_t filters, int32_t output_bits) {
    return make_layer(LayerType::Conv2D,
                      {{"kernel_size", 1}, {"filters", filters}, {"output_bits", output_bits}, {"weights_bits", 8}},
                      name);
  }
  MemorySizerImpl sizer;
  std::unique_ptr<Model> model = test::model_with_input(10, 6, 3);
  std::shared_ptr<Layer> conv1 = conv("conv1", 3, 4);
  std::shared_ptr<Layer> sum = make_layer(LayerType::Add, {}, "add");
  std::shared_ptr<Layer> conv3 = conv("conv3", 2, 8);
  std::shared_ptr<Layer> concat = make_layer(LayerType::Concatenate, {}, "concat");
  std::shared_ptr<Layer> deq = make_layer(LayerType::Dequantizer, {}, "deq");
  std::shared_ptr<Layer> up =
      make_layer(LayerType::Conv2DTranspose, {{"kernel_size", 3}, {"filters", 2}, {"weights_bits", 4}}, "up");
  std::shared_ptr<Layer> temporal =
      make_layer(LayerType::BufferTempConv, {{"fifo_size", 2}, {"filters", 4}}, "temporal");
  std::shared_ptr<Layer> fifo_less =
      std::make_shared<FifoLessTemporal>(*LayerParams::create(LayerType::BufferTempConv, {{"filters", 4}}));
};

TEST_F(MemorySizerTest, MergeAndReadoutLayersTakeNoNpMemory) {
  for (const LayerType type : {LayerType::Add, LayerType::Concatenate, LayerType::Dequantizer,
                               LayerType::StatefulRecurrent}) {
    const auto layer = make_layer(type, {}, "layer");
    EXPECT_EQ(input(layer, component(hw::Type::CNP1, 4, 8, 8)), 0u);
    EXPECT_EQ(weight(layer, component(hw::Type::CNP1, 4, 8, 8)), 0u);
  }
  EXPECT_EQ(input(make_layer(LayerType::InputConv2D, {}, "hrc"), component(hw::Type::HRC)), 0u);
  // Each NP kind holds only the inputs and weights of its own layers.
  EXPECT_EQ(input(conv1, component(hw::Type::TNP_B, 3, 13, 5)), 0u);
  EXPECT_EQ(input(temporal, component(hw::Type::CNP1, 7, 6, 6)), 0u);
  EXPECT_EQ(weight(temporal, component(hw::Type::CNP2)), 0u);
  // 8 bits x 13 columns = 13 bytes -> 16; 16 x 3 channels / 4 = 12 words a row; x 5 rows x 4.
  EXPECT_EQ(input(conv1, component(hw::Type::CNP1, 3, 13, 5)), 240u);
  // A row of 2^27 + 4096 words (4096 bytes x 131076 channels / 4) keeps its low 27 bits.
  EXPECT_EQ(input(conv1, component(hw::Type::CNP1, 131076, 4096, 1)), 4u * 4096);
}

TEST_F(MemorySizerTest, SkipStoreKeepsFramesForTheDeepestConsumerAndNothingElseIsExternal) {
  // conv1 output 10x6x3, 4 bits: 40 bits -> 2 words a row x 6 x 3 = 36 words. Outbounds at
  // depths 3 and 5, conv1 at 2: 3 + 3 frames; 2 frames when the sequence has several passes.
  EXPECT_EQ(store(conv1, false, false), 4u * 6 * 36);
  EXPECT_EQ(store(conv1, false, true), 4u * 2 * 36);
  // The second store of a dual-output layer keeps the input: 80 bits -> 3 words x 6 x 3.
  EXPECT_EQ(store(conv1, true, false), 4u * 6 * 54);
  // conv3 (10x6x2, 8 bits: 3 x 6 x 2 words), one outbound one level deeper: 3 + 1 frames.
  EXPECT_EQ(store(conv3, false, false), 4u * 4 * 36);
  // No outbound: 3 frames of 10x6x5 at 32 bits.
  EXPECT_EQ(store(deq, false, false), 4u * 3 * 300);
  // TNP-B layers keep their input: 3 channels x 8 bits -> 1 word a pixel; 1 + fifo frames.
  EXPECT_EQ(store(temporal, false, false), 4u * 3 * 60);
  EXPECT_EQ(store(temporal, true, true), 4u * 3 * 60);
  EXPECT_EQ(store(fifo_less, false, false), 0u);
  // Other components hold no external memory, whatever the layer type.
  EXPECT_EQ(sizer.get_external_memory_size(conv1, component(hw::Type::CNP1, 3, 13, 5), true, false), 0u);
  EXPECT_EQ(sizer.get_external_memory_size(conv1, component(hw::Type::SKIP_DMA_LOAD), false, false), 0u);
  const auto extract = make_layer(LayerType::ExtractToken, {}, "extract");
  EXPECT_EQ(sizer.get_external_memory_size(extract, component(hw::Type::TNP_B), false, false), 0u);
}

TEST_F(MemorySizerTest, LayerTypesOutsideTheTablesAreInvalid) {
  for (const LayerType type : {LayerType::ExtractToken, LayerType::InputData}) {
    const auto layer = make_layer(type, {}, "layer");
    EXPECT_THAT([&] { input(layer, component(hw::Type::CNP1)); },
                throws_text<std::invalid_argument>("Invalid v2 layer type."));
    EXPECT_THAT([&] { weight(layer, component(hw::Type::CNP1)); },
                throws_text<std::invalid_argument>("Invalid v2 layer type."));
  }
}

}  // namespace
}  // namespace ornix::v2
