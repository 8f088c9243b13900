#pragma once

#include <gmock/gmock.h>

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "ornix/layer.h"
#include "ornix/model.h"

// Small builders shared by the layer and model tests.

namespace ornix::test {

inline std::shared_ptr<Layer> make_layer(LayerType type, const LayerParams::Values& values, const std::string& name) {
  const auto params = LayerParams::create(type, values);
  return Layer::create(params.get(), name);
}

// An InputData layer of that shape, of `bits` bits (the engine's default when 0).
inline std::shared_ptr<Layer> input_layer(uint32_t width, uint32_t height, uint32_t channels,
                                          const std::string& name = "input", int32_t bits = 0) {
  LayerParams::Values values{{"input_width", static_cast<int32_t>(width)},
                             {"input_height", static_cast<int32_t>(height)},
                             {"input_channels", static_cast<int32_t>(channels)}};
  if (bits != 0) values["input_bits"] = bits;
  return make_layer(LayerType::InputData, values, name);
}

// A model holding one InputData layer named "input" of that shape and bit width.
inline std::unique_ptr<Model> model_with_input(uint32_t width, uint32_t height, uint32_t channels, int32_t bits = 0) {
  auto model = Model::create();
  model->add(input_layer(width, height, channels, "input", bits));
  return model;
}

// Adds a layer after the model's last layer and returns it.
inline std::shared_ptr<Layer> add_layer(Model& model, LayerType type, const LayerParams::Values& values,
                                        const std::string& name = "layer") {
  auto layer = make_layer(type, values, name);
  model.add(layer);
  return layer;
}

inline std::vector<uint32_t> dims(const Shape& shape) { return {shape.begin(), shape.end()}; }

template <typename Error>
auto throws_text(const std::string& text) {
  return ::testing::ThrowsMessage<Error>(::testing::StrEq(text));
}

}  // namespace ornix::test
