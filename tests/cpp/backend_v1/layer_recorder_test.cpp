#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "backend/v1/layer_recorder.h"
#include "backend_v1/v1_fixtures.h"
#include "backend_v1/v1_layers.h"
#include "backend_v2/dma_blocks.h"
#include "support/fake_mesh_device.h"

namespace ornix::v1::test {
namespace {

using ornix::test::throws_text;
using v2::test::DmaBlock;
using Words = std::vector<uint32_t>;
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

// (target, address, size) of each block of the record.
struct Block {
  uint32_t target, address;
  size_t size;
  bool operator==(const Block&) const = default;
};
std::ostream& operator<<(std::ostream& out, const Block& b) {
  return out << "{" << b.target << ", " << b.address << ", " << b.size << "}";
}
std::vector<Block> layout(const program::Record& record) {
  std::vector<Block> blocks;
  for (const DmaBlock& block : v2::test::dma_blocks(record)) {
    blocks.push_back({block.target, block.address, block.words.size()});
  }
  return blocks;
}

struct Recorder {
  std::unique_ptr<program::Record> record(const Layer& layer, bool ib_spikes, bool route_flag,
                                          const std::vector<hw::Ident>& skip, bool registers_only) const {
    return recorder.record_layer(layer, layer, nullptr, ib_spikes, route_flag, skip, registers_only, true);
  }
  ornix::test::FakeMeshDevice device{kA1, ornix::test::empty_mesh(IpVersion::v1)};
  HardwareConstraints table = make_hardware_constraints(Generation::v1, SramSize_v1);
  LayerRecorderImpl recorder{&device, &table};
};

TEST(V1LayerRecorder, ConvolutionsGoToTheirCnpRecorderWithEveryFlag) {
  const Recorder r;
  // Standard 3x3, 2-bit, 8 filters, 2 channels: round16(2 x ceil(16 / 5)) x 2 = 32 weight words;
  // 2 threshold/step words a filter.
  const MappedCnpLayer conv(T::Convolutional);
  EXPECT_EQ(layout(*r.record(*conv.mapped.layer, false, false, {}, false)),
            (std::vector<Block>{{7, 0, 50}, {0, 0, 32}, {4, 0, 16}}));
  // Separable: 8 rows of 6 bits a slot hold 2 kernels, the depthwise stream of 2 channels one
  // slot (2 words) at 0; the pointwise 2 channels x 1 slot x 2 = 4 words at (2 + 15) / 16 = 1.
  const MappedCnpLayer sep(T::SeparableConvolutional);
  EXPECT_EQ(layout(*r.record(*sep.mapped.layer, false, false, {}, false)),
            (std::vector<Block>{{7, 0, 50}, {0, 0, 2}, {0, 1, 4}, {4, 0, 16}}));

  for (const MappedCnpLayer* layer : {&conv, &sep}) {
    const Layer& l = *layer->mapped.layer;
    EXPECT_EQ(layout(*r.record(l, false, false, {}, true)), (std::vector<Block>{{7, 0, 50}}));
    EXPECT_EQ(layout(*r.record(l, false, false, {kCnp}, true)), (std::vector<Block>{{7, 0, 0}}));
    // Input-buffer spikes: word 2 bit 7; the route flag: word 44 bit 2.
    const Words regs = v2::test::dma_blocks(*r.record(l, true, true, {}, true)).at(0).words;
    EXPECT_EQ(regs[2] & 0x80, 0x80u);
    EXPECT_EQ(regs[44] & 0x4, 0x4u);
  }
}

TEST(V1LayerRecorder, InputConvolutionIgnoresEveryOtherArgument) {
  const Recorder r;
  std::unique_ptr<Model> model;
  const auto hrc = v1_layer(model, T::InputConvolutional, {}, {});
  const auto plain = r.record(*hrc, false, false, {}, false);
  // Registers, three weight planes and the threshold/step table (select word, then data), the
  // closing register writes: every block at the all-zero ident.
  const std::vector<DmaBlock> blocks = v2::test::dma_blocks(*plain);
  ASSERT_EQ(blocks.size(), 12u);
  for (const DmaBlock& block : blocks) EXPECT_EQ(block.ident, hw::Ident{});
  EXPECT_EQ(v2::test::dma_blocks(*r.record(*hrc, true, true, {kCnp, hw::Ident{}}, true)), blocks);
}

TEST(V1LayerRecorder, OtherTypesFailWithTheirNumber) {
  const Recorder r;
  struct Case {
    T type;
    LayerParams::Values params;
    std::string text;
  };
  for (const Case& c : std::vector<Case>{{T::Dense1D, {{"units", 2}}, "Unsupported layer type: 25."},
                                         {T::Add, {}, "Unsupported layer type: 6."}}) {
    const auto layer = ornix::test::make_layer(c.type, c.params, "layer");
    EXPECT_THAT([&] { r.record(*layer, false, false, {}, false); }, throws_text<std::runtime_error>(c.text));
  }
}

}  // namespace
}  // namespace ornix::v1::test
