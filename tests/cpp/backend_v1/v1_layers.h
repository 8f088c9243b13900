#pragma once

// Generation-1 layers and a checker over the generation's limits table for the checker tests.

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "backend/v1/compatibility_checker.h"
#include "engine/layer_fixtures.h"
#include "support/fake_mesh_device.h"

namespace ornix::v1::test {

inline constexpr HwVersion kA1{0xD3, 0xA1, 0x01, 0x00};
inline constexpr HwVersion kVamoV2{0xD3, 0x00, 0x00, 0x02};

// A valid layer of each checked kind: 3x3 kernels, Same padding, 8 filters or 10 units, 2-bit
// weights, 4-bit activations (2-bit for the dense layer), every parameter its recorder reads.
inline LayerParams::Values base_params(LayerType type) {
  if (type == LayerType::FullyConnected) {
    return {{"units", 10}, {"weights_bits", 2}, {"activation", 1}, {"act_bits", 2}};
  }
  LayerParams::Values values{{"kernel_width", 3}, {"kernel_height", 3}, {"stride_x", 1}, {"stride_y", 1},
                             {"padding", 1},      {"filters", 8},       {"pool_type", 0}, {"weights_bits", 2},
                             {"activation", 1},   {"act_bits", 4}};
  if (type == LayerType::InputConvolutional) {
    values.insert({{"input_width", 8},    {"input_height", 8},     {"input_channels", 3},
                   {"padding_value", 0},  {"pooling_width", -1},   {"pooling_height", -1}});
  }
  return values;
}

// Stores `values` (one byte each) at the start of the layer's variable, the rest zero.
inline void set_bytes(Layer& layer, const std::string& name, const std::vector<int8_t>& values) {
  const auto old = layer.variables().get(name);
  auto tensor = Dense::create(old->type(), old->shape(), old->layout());
  std::copy(values.begin(), values.end(), reinterpret_cast<int8_t*>(tensor->buffer()));
  layer.variables().set(name, tensor);
}

// A layer named "layer" of `type` with the base parameters changed by `changes`, after an input
// of (w, h, c) and `bits` bits (InputConvolutional takes its input from its parameters), with a
// first weight of 1 in each of its weight variables.
inline std::shared_ptr<Layer> v1_layer(std::unique_ptr<Model>& model, LayerType type, const Shape& input,
                                       const LayerParams::Values& changes, int32_t bits = 4) {
  model = Model::create();
  if (type != LayerType::InputConvolutional) {
    model->add(ornix::test::make_layer(LayerType::InputData,
                                       {{"input_width", static_cast<int32_t>(input[0])},
                                        {"input_height", static_cast<int32_t>(input[1])},
                                        {"input_channels", static_cast<int32_t>(input[2])},
                                        {"input_bits", bits}},
                                       "input"));
  }
  LayerParams::Values values = base_params(type);
  for (const auto& [key, value] : changes) values[key] = value;
  auto layer = ornix::test::add_layer(*model, type, values);
  for (const char* name : {"weights", "weights_pw"}) {
    if (layer->variables().has(name)) set_bytes(*layer, name, {1});
  }
  return layer;
}

// The generation-1 checker of a device of `version` with the generation's SRAM sizes.
struct V1Checker {
  explicit V1Checker(HwVersion version = kA1) : device(version, ornix::test::empty_mesh(IpVersion::v1)) {}
  // The status of check_layer_compatibility as text.
  std::string check(const Layer& layer) const {
    return checker.check_layer_compatibility(layer, nullptr, device.version()).to_string();
  }

  ornix::test::FakeMeshDevice device;
  HardwareConstraints table = make_hardware_constraints(Generation::v1, SramSize_v1);
  CompatibilityCheckerImpl checker{&device, &table};
};

}  // namespace ornix::v1::test
