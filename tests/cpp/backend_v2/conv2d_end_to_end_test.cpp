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

// A Conv2D model with an Add skip connection goes through the built-in back end, with the real
// generation-2 checker, sizer and recorders, onto a simulated IP v2 device.

namespace ornix::test {
namespace {

using Words = std::vector<uint32_t>;
using v2::test::block_shapes;
using v2::test::BlockShape;

LayerParams::Values conv(int32_t filters) {
  return {{"kernel_size", 3}, {"kernel_stride", 1}, {"filters", filters}, {"padding", 1},
          {"activation", 1},  {"pool_type", 0},     {"weights_bits", 8},  {"output_bits", 8}};
}

// input 8x8x8 -> conv_a 8 -> conv_b 8 -> add(conv_a, conv_b) -> conv_c 16, 3x3 kernels, Same padding.
TEST(Conv2DEndToEnd, SkipConnectedModelIsProgrammedAndRuns) {
  const ScopedMapper mapper(make_hardware_mapper([] { return std::make_unique<HardwareBackend>(); }));
  SimulatedDriver driver;
  const auto device = simulated_v2_device(driver);
  auto model = model_with_input(8, 8, 8);
  const auto conv_a = add_layer(*model, LayerType::Conv2D, conv(8), "conv_a");
  const auto conv_b = add_layer(*model, LayerType::Conv2D, conv(8), "conv_b");
  model->add(make_layer(LayerType::Add, {}, "add"), {conv_a, conv_b});
  const auto conv_c = add_layer(*model, LayerType::Conv2D, conv(16), "conv_c");
  conv_a->variables().set("input_shift", Dense::copy("\1\2\3\4\5\6\7\0", 8, TensorType::uint8, Shape{8}));
  model->map(device, true, nullptr);

  ASSERT_EQ(model->sequences().size(), 1u);
  const auto sequence = std::dynamic_pointer_cast<HardwareSequence>(model->sequences()[0]);
  ASSERT_NE(sequence, nullptr);
  const Sequence::Bytes program = sequence->program();
  const ProgramInfo info(program.data, program.size);
  EXPECT_EQ(info.pass_count(), 1u);
  EXPECT_EQ(info.output_shape(), (std::vector<uint32_t>{8, 8, 16}));

  // Records: the SCC, then conv_a, conv_b, the Add (no track) and conv_c. A Conv2D NP's blocks:
  // registers (64 words), 3x3 8-bit weights (target 1, 8 channels x 3 x ceil8(filters) x 6 / 8
  // words), 8 input shifts (2 words), 2 words of variables per filter; conv_c follows the Add:
  // its 8 merge shift bytes (2 words). Skip-DMA blocks (target 11) close the store and the load.
  const Blob blob(std::vector<uint8_t>(program.data, program.data + program.size));
  const auto* records = blob.info->pass_spans()->Get(0)->records();
  ASSERT_EQ(records->size(), 5u);
  EXPECT_EQ(records->Get(3)->tracks()->size(), 0u);
  const std::vector<std::shared_ptr<Layer>> convs{conv_a, conv_b, conv_c};
  const std::vector<flatbuffers::uoffset_t> record_of_conv{1, 2, 4};
  for (size_t i = 0; i < convs.size(); ++i) {
    const auto* tracks = records->Get(record_of_conv[i])->tracks();
    ASSERT_EQ(tracks->size(), 1u) << convs[i]->name();
    const Words words = blob.words_at(tracks->Get(0));
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

    EXPECT_EQ(words[2 + 3] >> 24, mapping.layer_id);  // register word 3 carries the layer id
    EXPECT_EQ(words[2 + 26], filters << 16);            // word 26: the NP's filters from 0
  }
  // conv_a's input shifts; conv_c's merge shifts from the Add's zero shifts: |a - b| 0, a <= b, sum 0.
  const auto payload = [&](flatbuffers::uoffset_t record, size_t at) {
    const Words words = blob.words_at(records->Get(record)->tracks()->Get(0));
    return Words(words.begin() + at, words.begin() + at + 2);
  };
  EXPECT_EQ(payload(1, 2 + 64 + 2 + 144 + 2), (Words{0x04030201, 0x00070605}));
  EXPECT_EQ(payload(4, 2 + 64 + 2 + 288 + 2 + 2 + 2 + 32 + 2), (Words{0x80808080, 0x80808080}));

  // The device is programmed once and runs the sequence.
  const auto inputs = Dense::create(TensorType::uint8, Shape{2, 8, 8, 8});
  const auto outputs = model->forward(inputs, 0);
  EXPECT_EQ(outputs->shape(), (Shape{2, 8, 8, 16}));
  EXPECT_EQ(driver.program_count(), 1u);
  EXPECT_EQ(device->hardware()->current_program().data, program.data);
}

}  // namespace
}  // namespace ornix::test
