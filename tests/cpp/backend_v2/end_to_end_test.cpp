#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "backend_v2/dma_blocks.h"
#include "backend_v2/register_format_fixtures.h"
#include "engine/layer_fixtures.h"
#include "hardware/host_device.h"
#include "mapping/hardware_backend.h"
#include "mapping/hardware_backend_registration.h"
#include "mapping/layer_mapping.h"
#include "ornix/hardware_device.h"
#include "ornix/program_info.h"
#include "program/hardware_sequence.h"
#include "program/serializer_fixture.h"
#include "support/fake_mapping.h"
#include "support/simulated_driver.h"

// Models go through the built-in back end, with the real generation-2 checker, sizer and
// recorders, onto a simulated IP v2 device (DMA at column 1), are programmed once and run.

namespace ornix::test {
namespace {

using Words = std::vector<uint32_t>;
using v2::test::block_shapes;
using v2::test::BlockShape;
using v2::test::DmaBlock;

std::vector<np::Info> cnps(uint8_t first_col, uint8_t last_col) {
  std::vector<np::Info> nps;
  for (uint8_t col = first_col; col <= last_col; ++col) {
    for (uint8_t id = 0; id < 4; ++id) nps.push_back({{col, 1, id, 0}, {hw::Type::CNP1, hw::Type::CNP2}, false});
  }
  return nps;
}

np::Info skip_dma(uint8_t channel) {
  return {{6, 1, 0, channel}, {hw::Type::SKIP_DMA_STORE, hw::Type::SKIP_DMA_LOAD}, false};
}

struct EndToEnd {
  EndToEnd(const std::vector<np::Info>& nps, const std::vector<np::Info>& skip_dmas, const Shape& input)
      : model(model_with_input(input[0], input[1], input[2])) {
    driver.set_version({0xD3, 0xA2, 0x01, 0x00});
    device = std::make_shared<HostDevice>(HardwareDevice::create(&driver),
                                          std::make_unique<Mesh>(IpVersion::v2, hw::Ident{1, 1, 0, 0},
                                                                 hw::Ident{1, 1, 1, 0}, std::nullopt, nps, skip_dmas));
  }
  // Maps the model into one sequence; its program.
  Sequence::Bytes map() {
    model->map(device, true, nullptr);
    EXPECT_EQ(model->sequences().size(), 1u);
    const auto sequence = std::dynamic_pointer_cast<HardwareSequence>(model->sequences().at(0));
    EXPECT_NE(sequence, nullptr);
    program = sequence->program();
    blob = std::make_unique<Blob>(std::vector<uint8_t>(program.data, program.data + program.size));
    return program;
  }
  const auto* records() const { return blob->info->pass_spans()->Get(0)->records(); }
  Words track(flatbuffers::uoffset_t record, flatbuffers::uoffset_t at = 0) const {
    return blob->words_at(records()->Get(record)->tracks()->Get(at));
  }
  std::vector<DmaBlock> blocks(flatbuffers::uoffset_t record) const {
    std::vector<DmaBlock> out;
    for (const auto* t : *records()->Get(record)->tracks()) {
      const auto more = v2::test::dma_blocks(blob->words_at(t));
      out.insert(out.end(), more.begin(), more.end());
    }
    return out;
  }
  void expect_runs(uint32_t x, uint32_t y, uint32_t c, const Shape& output) {
    const auto outputs = model->forward(Dense::create(TensorType::uint8, Shape{2, x, y, c}), 0);
    EXPECT_EQ(outputs->shape(), output);
    EXPECT_EQ(driver.program_count(), 1u);
    EXPECT_EQ(device->hardware()->current_program().data, program.data);
  }

  const ScopedMapper mapper{make_hardware_mapper([] { return std::make_unique<HardwareBackend>(); })};
  SimulatedDriver driver;
  std::shared_ptr<HostDevice> device;
  std::unique_ptr<Model> model;
  Sequence::Bytes program{};
  std::unique_ptr<Blob> blob;
};

LayerParams::Values conv(int32_t filters) {
  return {{"kernel_size", 3}, {"kernel_stride", 1}, {"filters", filters}, {"padding", 1},
          {"activation", 1},  {"pool_type", 0},     {"weights_bits", 8},  {"output_bits", 8}};
}

// input 8x8x8 -> conv_a 8 -> conv_b 8 -> add(conv_a, conv_b) -> conv_c 16.
TEST(Conv2DEndToEnd, SkipConnectedModelIsProgrammedAndRuns) {
  EndToEnd e(cnps(2, 5), {skip_dma(4)}, {8, 8, 8});
  Model& model = *e.model;
  const auto conv_a = add_layer(model, LayerType::Conv2D, conv(8), "conv_a");
  const auto conv_b = add_layer(model, LayerType::Conv2D, conv(8), "conv_b");
  model.add(make_layer(LayerType::Add, {}, "add"), {conv_a, conv_b});
  const auto conv_c = add_layer(model, LayerType::Conv2D, conv(16), "conv_c");
  conv_a->variables().set("input_shift", v2::test::u8({1, 2, 3, 4, 5, 6, 7, 0}));
  const Sequence::Bytes program = e.map();
  const ProgramInfo info(program.data, program.size);
  EXPECT_EQ(info.pass_count(), 1u);
  EXPECT_EQ(info.output_shape(), (std::vector<uint32_t>{8, 8, 16}));

  // Records: the SCC, conv_a, conv_b, the Add (no track), conv_c. A conv NP's blocks: registers,
  // 3x3 8-bit weights (8 channels x 3 x ceil8(filters) x 6 / 8 words), input shifts, variables;
  // conv_c also gets its merge shifts. Skip-DMA blocks (target 11) close the store and the load.
  ASSERT_EQ(e.records()->size(), 5u);
  EXPECT_EQ(e.records()->Get(3)->tracks()->size(), 0u);
  const std::vector<std::shared_ptr<Layer>> convs{conv_a, conv_b, conv_c};
  const std::vector<flatbuffers::uoffset_t> record_of_conv{1, 2, 4};
  for (size_t i = 0; i < convs.size(); ++i) {
    ASSERT_EQ(e.records()->Get(record_of_conv[i])->tracks()->size(), 1u) << convs[i]->name();
    const Words words = e.track(record_of_conv[i]);
    const LayerMapping& mapping = *layer_mapping_of(*convs[i]);
    ASSERT_EQ(mapping.nps->size(), 1u);
    const hw::Ident np = mapping.nps->front().ident;
    const size_t filters = i == 2 ? 16 : 8;
    std::vector<BlockShape> expected{{np, 7, 64}, {np, 1, 8 * 3 * filters * 6 / 8}, {np, 2, 2}, {np, 5, 2 * filters}};
    if (i == 2) expected.push_back({np, 10, 2});
    const std::vector<BlockShape> found = block_shapes(words);
    ASSERT_GE(found.size(), expected.size()) << convs[i]->name();
    EXPECT_EQ(std::vector<BlockShape>(found.begin(), found.begin() + expected.size()), expected) << convs[i]->name();
    for (auto rest = found.begin() + expected.size(); rest != found.end(); ++rest) EXPECT_EQ(rest->target, 11u);
    EXPECT_EQ(found.size() > expected.size(), i != 1) << convs[i]->name();  // conv_a stores, conv_c loads
    EXPECT_EQ(words[2 + 3] >> 24, mapping.layer_id);
    EXPECT_EQ(words[2 + 26], filters << 16);
  }
  // conv_a's input shifts; conv_c's merge shifts from the Add's zero shifts: |a - b| 0, a <= b, sum 0.
  EXPECT_EQ(e.blocks(1)[2].words, (Words{0x04030201, 0x00070605}));
  EXPECT_EQ(e.blocks(4)[4].words, (Words{0x80808080, 0x80808080}));
  e.expect_runs(8, 8, 8, {2, 8, 8, 16});
}

// input 48x48x16 -> conv (32 filters) -> dw -> up (Conv2DTranspose, 8 filters) -> dwup
// (DepthwiseConv2DTranspose, kernel 4); the transposed layers double the plane twice.
TEST(MixedConvolutionsEndToEnd, ModelIsProgrammedAndRuns) {
  EndToEnd e(cnps(2, 5), {skip_dma(4)}, {48, 48, 16});
  const auto params = [](LayerParams::Values values) {
    values.insert({{"activation", 1}, {"weights_bits", 8}, {"output_bits", 8}});
    return values;
  };
  const LayerParams::Values same{{"kernel_size", 3}, {"kernel_stride", 1}, {"padding", 1}, {"pool_type", 0}};
  LayerParams::Values conv_params = same;
  conv_params["filters"] = 32;
  Model& model = *e.model;
  const auto conv = add_layer(model, LayerType::Conv2D, params(conv_params), "conv");
  const auto dw = add_layer(model, LayerType::DepthwiseConv2D, params(same), "dw");
  const auto up = add_layer(model, LayerType::Conv2DTranspose, params({{"kernel_size", 3}, {"filters", 8}}), "up");
  const auto dwup = add_layer(model, LayerType::DepthwiseConv2DTranspose, params({{"kernel_size", 4}}), "dwup");
  const Sequence::Bytes program = e.map();
  EXPECT_EQ(ProgramInfo(program.data, program.size).output_shape(), (std::vector<uint32_t>{192, 192, 8}));

  // Per NP, in mapping order: registers, weights, input shifts, two variable words per filter.
  // Weights: conv 16 channels x 24 words of 100 bits x 3; dw 32 channels x 3; up 32 channels x
  // 6 x 3; dwup 8 channels x 2 x 3. The depthwise NPs hold every channel (the plane is split).
  struct LayerProgram {
    std::shared_ptr<Layer> layer;
    size_t weights, input_shifts, variables;
  };
  const std::vector<LayerProgram> layers{{conv, 16 * 72, 4, 64}, {dw, 96, 8, 64}, {up, 32 * 18, 8, 16},
                                         {dwup, 48, 2, 16}};
  ASSERT_EQ(e.records()->size(), 1u + layers.size());
  for (flatbuffers::uoffset_t i = 0; i < layers.size(); ++i) {
    const LayerProgram& expected = layers[i];
    const std::string name = expected.layer->name();
    ASSERT_EQ(e.records()->Get(i + 1)->tracks()->size(), 1u) << name;
    std::vector<BlockShape> shapes;
    for (const hw::Component& np : *layer_mapping_of(*expected.layer)->nps) {
      shapes.insert(shapes.end(), {{np.ident, 7, 64},
                                   {np.ident, 1, expected.weights},
                                   {np.ident, 2, expected.input_shifts},
                                   {np.ident, 5, expected.variables}});
    }
    const Words words = e.track(i + 1);
    EXPECT_EQ(block_shapes(words), shapes) << name;
    // Register word 3 bit 2 marks the depthwise forms, word 20 bit 9 the transposed ones.
    EXPECT_EQ(words[2 + 3] >> 2 & 1, expected.layer == dw || expected.layer == dwup ? 1u : 0u) << name;
    EXPECT_EQ(words[2 + 20] >> 9 & 1, expected.layer == up || expected.layer == dwup ? 1u : 0u) << name;
  }
  EXPECT_GE(layer_mapping_of(*dw)->nps->size(), 2u);
  e.expect_runs(48, 48, 16, {2, 192, 192, 8});
}

// input 3x3x4 -> Conv2D 3x3, 8 filters, global average pooling -> Dense1D of 4 neurons on an FNP3.
TEST(FnpEndToEnd, ConvolutionFollowedByDenseIsProgrammedOnTheFnp3AndRuns) {
  std::vector<np::Info> nps = cnps(2, 2);
  nps.push_back({{3, 1, 0, 0}, {hw::Type::FNP3}, false});
  EndToEnd e(nps, {}, {3, 3, 4});
  add_layer(*e.model, LayerType::Conv2D,
            {{"kernel_size", 3}, {"kernel_stride", 1}, {"filters", 8}, {"padding", 1}, {"activation", 1}, {"pool_type", 2},
             {"pool_size", -1}, {"weights_bits", 8}, {"output_bits", 8}},
            "conv");
  const auto dense = add_layer(*e.model, LayerType::Dense1D,
                               {{"units", 4}, {"weights_bits", 8}, {"output_bits", 8}, {"activation", 1}}, "dense");
  std::vector<int8_t> weights(8 * 4);
  for (size_t k = 0; k < 8; ++k) weights[k * 4 + 1] = static_cast<int8_t>(k + 1);  // neuron 1 reads k + 1
  dense->variables().set("weights", v2::test::s8(weights, Shape{8, 4}));
  dense->variables().set("input_shift", v2::test::u8({1, 2, 3, 4, 5, 6, 7, 0}));
  e.map();
  const LayerMapping& mapping = *layer_mapping_of(*dense);
  ASSERT_EQ(mapping.nps->size(), 1u);
  EXPECT_EQ(mapping.nps->front().type, hw::Type::FNP3);

  // After a CNP with 8-bit inputs and weights each of the 8 channel lines of one value takes a
  // word (ChannelRowAligned): 8 words of input shifts, and 2 + 8 words per neuron.
  ASSERT_EQ(e.records()->size(), 3u);
  ASSERT_EQ(e.records()->Get(2)->tracks()->size(), 1u);
  const std::vector<DmaBlock> found = e.blocks(2);
  ASSERT_EQ(v2::test::targets(found), (std::vector<uint32_t>{7, 2, 6}));
  for (const DmaBlock& block : found) EXPECT_EQ(block.ident, mapping.nps->front().ident);
  const Words& regs = found[0].words;
  EXPECT_EQ(regs[3] >> 24, mapping.layer_id);
  EXPECT_EQ(regs[11], 0x00004000u);  // lines of 4 bytes
  EXPECT_EQ(regs[14], 0xA0000008u);  // 8 input words
  EXPECT_EQ(regs[15], 0x000A0004u);  // 4 neurons of 10 words
  EXPECT_EQ(regs[17], 0x00100028u);  // FNP3, 40 words
  EXPECT_EQ(regs[28], 0x00040008u);  // L 4 | 8 words per row
  EXPECT_EQ(found[1].words, (Words{1, 2, 3, 4, 5, 6, 7, 0}));
  ASSERT_EQ(found[2].words.size(), 40u);
  EXPECT_EQ(Words(found[2].words.begin() + 12, found[2].words.begin() + 20), (Words{1, 2, 3, 4, 5, 6, 7, 8}));
  e.expect_runs(3, 3, 4, {2, 1, 1, 4});
}

// input 8x8x8 -> Conv2D (3x3, Same, 8 filters) -> BufferTempConv (fifo 2, 8 filters).
TEST(TnpBEndToEnd, ConvolutionIntoBufferTempConvIsProgrammedAndRuns) {
  std::vector<np::Info> nps = cnps(2, 2);
  for (uint8_t id = 0; id < 4; ++id) nps.push_back({{3, 1, id, 0}, {hw::Type::TNP_B}, false});
  EndToEnd e(nps, {skip_dma(4), skip_dma(5)}, {8, 8, 8});
  const LayerParams::Values common{{"filters", 8}, {"activation", 1}, {"weights_bits", 8}};
  LayerParams::Values conv = common, fifo = common;
  conv.insert({{"kernel_size", 3}, {"kernel_stride", 1}, {"padding", 1}, {"pool_type", 0}});
  fifo.insert({"fifo_size", 2});
  add_layer(*e.model, LayerType::Conv2D, conv, "conv");
  const auto temporal = add_layer(*e.model, LayerType::BufferTempConv, fifo, "temporal");
  temporal->variables().set("input_shift", v2::test::u8({1, 2, 3, 4, 5, 6, 7, 0}));
  e.map();

  // The TNP-B's blocks follow its FIFO's skip-DMA blocks: registers, 2 taps x 8 channels of
  // 2-word containers (96 words), 8 shifts, 8 filters' variables.
  ASSERT_EQ(e.records()->size(), 3u);
  const std::vector<DmaBlock> found = e.blocks(2);
  const LayerMapping& mapping = *layer_mapping_of(*temporal);
  ASSERT_EQ(mapping.nps->size(), 1u);
  ASSERT_GT(found.size(), 4u);
  const auto np = found.end() - 4;
  for (auto block = found.begin(); block != np; ++block) EXPECT_EQ(block->target, 11u);
  EXPECT_EQ(v2::test::targets({np, found.end()}), (std::vector<uint32_t>{7, 1, 2, 5}));
  EXPECT_EQ(np[0].ident, mapping.nps->front().ident);
  EXPECT_EQ(np[0].words[3] >> 24, mapping.layer_id);
  EXPECT_EQ(np[0].words[30], 0x00030202u);
  EXPECT_EQ(np[1].words.size(), 96u);
  EXPECT_EQ(np[2].words, (Words{0x04030201, 0x00070605}));
  EXPECT_EQ(np[3].words.size(), 16u);
  e.expect_runs(8, 8, 8, {2, 8, 8, 8});
}

}  // namespace
}  // namespace ornix::test
