#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "backend/v2/layer_recorder.h"
#include "backend_v2/dma_blocks.h"
#include "backend_v2/register_format_fixtures.h"
#include "engine/layer_fixtures.h"
#include "mapping/hardware_constraints.h"
#include "mapping/layer_mapping.h"
#include "program/thrown.h"
#include "support/fake_mapping.h"

// A convolution on CNPs, mapped by hand, recorded through the generation-2 layer recorder.
namespace ornix::v2::test {

inline constexpr HwVersion kRecorderV2{0xD3, 0xA2, 0x01, 0x00};

// A CNP at column `col` computing filters (channels) [start, start + count) over `window`, which
// is also its padded window.
inline hw::Component cnp(uint8_t col, uint32_t start, uint32_t count, const NpSpace& window) {
  return {hw::Type::CNP1, {col, 1, 0, 0}, NpAllocation{start, count, window, window, true}, {}};
}

// from, from + 1, ... for `count` channels.
template <typename T>
std::vector<T> ramp(uint32_t count, int from) {
  std::vector<T> values(count);
  for (uint32_t i = 0; i < count; ++i) values[i] = static_cast<T>(from + static_cast<int>(i));
  return values;
}

// `layer` after an input of `input` (8 bits), layer id 3, fed from column 2 and feeding column
// 6, on the NPs `nps`. It gets input shifts 1, 2, ... per input channel (when its variables have
// them) and biases 0, 1, ... per output channel.
struct CnpConvFixture {
  CnpConvFixture(std::shared_ptr<Layer> conv, const Shape& input, std::vector<hw::Component> nps)
      : model(ornix::test::model_with_input(input[0], input[1], input[2])), layer(std::move(conv)) {
    model->add(layer);
    Variables& variables = layer->variables();
    if (variables.has("input_shift")) variables.set("input_shift", u8(ramp<uint8_t>(input[2], 1)));
    variables.set("bias", s8(ramp<int8_t>(layer->output_dimensions()[2], 0)));
    const NpSpace plane{0, 0, input};
    mapping->layer_id = 3;
    mapping->output_id = 4;
    mapping->p2p_output = false;
    mapping->inputs = {std::make_shared<std::vector<hw::Component>>(1, cnp(2, 0, input[2], plane))};
    mapping->outputs = {std::make_shared<std::vector<hw::Component>>(1, cnp(6, 0, input[2], plane))};
    *mapping->nps = std::move(nps);
    layer->set_mapping(mapping);
  }
  std::vector<DmaBlock> record(const std::vector<hw::Ident>& excluded = {}, bool registers_only = false) const {
    const auto program = recorder.record_layer(*layer, *layer, nullptr, false, false, excluded, registers_only, false);
    EXPECT_EQ(program->version, kRecorderV2);
    return dma_blocks(*program);
  }
  std::string refusal() const {
    return program::thrown<std::runtime_error>([&] { record(); });
  }

  ornix::test::FakeDevice device{kRecorderV2};
  HardwareConstraints constraints;
  LayerRecorderImpl recorder{&device, &constraints};
  std::unique_ptr<Model> model;
  std::shared_ptr<Layer> layer;
  std::shared_ptr<LayerMapping> mapping = LayerMapping::create();
};

}  // namespace ornix::v2::test
