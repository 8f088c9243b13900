#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/layer_fixtures.h"
#include "hardware/component.h"
#include "mapping/layer_mapping.h"

// Generation-1 layers built in a model and mapped by hand, for the register and FNP tests.
namespace ornix::v1::test {

using Components = std::vector<hw::Component>;

inline hw::Component np(hw::Type type, uint8_t col, uint8_t row = 1, uint8_t id = 0) {
  return {type, {col, row, id, 0}, std::nullopt, {}};
}

// input (width, height, channels at `input_bits`) -> a layer of `type`, holding a fresh
// LayerMapping on `nps`.
struct MappedLayer {
  MappedLayer(LayerType type, const LayerParams::Values& params, Shape input, int32_t input_bits, Components nps)
      : model(Model::create()) {
    model->add(ornix::test::make_layer(LayerType::InputData,
                                       {{"input_width", int32_t(input[0])}, {"input_height", int32_t(input[1])},
                                        {"input_channels", int32_t(input[2])}, {"input_bits", input_bits}},
                                       "input"));
    layer = ornix::test::add_layer(*model, type, params);
    *mapping->nps = std::move(nps);
    layer->set_mapping(mapping);
  }
  std::unique_ptr<Model> model;
  std::shared_ptr<Layer> layer;
  std::shared_ptr<LayerMapping> mapping = LayerMapping::create();
};

}  // namespace ornix::v1::test
