#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "backend/v1/layer_recorder.h"
#include "backend_v1/v1_fixtures.h"
#include "backend_v1/v1_layers.h"
#include "backend_v2/dma_blocks.h"
#include "support/fake_mesh_device.h"

namespace ornix::v1::test {
namespace {

using v2::test::DmaBlock;
using T = LayerType;

constexpr hw::Ident kCnp{3, 1, 0, 0};

// input 6 x 6 x 2 at 4 bits -> a layer of `type` (base parameters) on the CNP (3, 1), whole
// window, fed by a CNP at column 2, output point to point to the DMA at (1, 1).
struct MappedCnpLayer {
  explicit MappedCnpLayer(T type)
      : mapped(type, base_params(type), Shape{6, 6, 2}, 4, {share()}) {
    mapped.mapping->inputs = {std::make_shared<Components>(Components{np(hw::Type::CNP1, 2)})};
    mapped.mapping->outputs = {std::make_shared<Components>(Components{np(hw::Type::DMA, 1)})};
    for (const char* name : {"weights", "weights_pw"}) {
      if (mapped.layer->variables().has(name)) set_bytes(*mapped.layer, name, {1, -1, 1});
    }
  }
  static hw::Component share() {
    hw::Component c = np(hw::Type::CNP1, kCnp.col);
    c.allocation = NpAllocation{0, 8, {0, 0, {6, 6, 2}}, {0, 0, {6, 6, 2}}, true};
    return c;
  }
  MappedLayer mapped;
};

struct Recorder {
  std::unique_ptr<program::Record> record(const Layer& layer, bool ib_spikes, bool route_flag,
                                          const std::vector<hw::Ident>& skip, bool registers_only) const {
    return recorder.record_layer(layer, layer, nullptr, ib_spikes, route_flag, skip, registers_only, true);
  }
  ornix::test::FakeMeshDevice device{kA1, ornix::test::empty_mesh(IpVersion::v1)};
  HardwareConstraints table = make_hardware_constraints(Generation::v1, SramSize_v1);
  LayerRecorderImpl recorder{&device, &table};
};

// Each flag reaches the convolution recorders in its place.
TEST(V1LayerRecorder, ConvolutionsGoToTheirCnpRecorderWithEveryFlag) {
  const Recorder r;
  for (const T type : {T::Convolutional, T::SeparableConvolutional}) {
    const MappedCnpLayer cnp(type);
    const Layer& layer = *cnp.mapped.layer;
    // Registers (target 7), weights (0; a separable layer's depthwise then pointwise streams),
    // thresholds and steps (4).
    const std::vector<uint32_t> all = type == T::Convolutional ? std::vector<uint32_t>{7, 0, 4}
                                                               : std::vector<uint32_t>{7, 0, 0, 4};
    EXPECT_EQ(v2::test::targets(v2::test::dma_blocks(*r.record(layer, false, false, {}, false))), all);
    const std::vector<DmaBlock> registers = v2::test::dma_blocks(*r.record(layer, true, false, {}, true));
    ASSERT_EQ(v2::test::targets(registers), std::vector<uint32_t>{7});
    EXPECT_EQ(registers[0].words[2] & 0x80, 0x80u);  // input-buffer spikes
    EXPECT_EQ(registers[0].words[44] & 0x4, 0u);
    EXPECT_EQ(v2::test::dma_blocks(*r.record(layer, false, true, {}, true))[0].words[44] & 0x4, 0x4u);  // route
    EXPECT_TRUE(v2::test::dma_blocks(*r.record(layer, false, false, {kCnp}, true))[0].words.empty());
  }
}

TEST(V1LayerRecorder, InputConvolutionIgnoresEveryOtherArgument) {
  const Recorder r;
  std::unique_ptr<Model> model;
  const auto hrc = v1_layer(model, T::InputConvolutional, {}, {});
  // Registers, three weight planes and the threshold/step table (select word, then data), the
  // closing register writes: every block at the all-zero ident.
  const std::vector<DmaBlock> blocks = v2::test::dma_blocks(*r.record(*hrc, false, false, {}, false));
  ASSERT_EQ(blocks.size(), 12u);
  for (const DmaBlock& block : blocks) EXPECT_EQ(block.ident, hw::Ident{});
  EXPECT_EQ(v2::test::dma_blocks(*r.record(*hrc, true, true, {kCnp, hw::Ident{}}, true)), blocks);
}

}  // namespace
}  // namespace ornix::v1::test
