#pragma once

// Devices and layers for the back-end entry tests.

#include <memory>
#include <string>

#include "mapping/generation.h"
#include "ornix/layer.h"
#include "support/fake_mesh_device.h"

namespace ornix::test {

inline constexpr HwVersion kD3_00_00_02{0xD3, 0x00, 0x00, 0x02};
inline constexpr HwVersion kD3_A1_01_00{0xD3, 0xA1, 0x01, 0x00};
inline constexpr HwVersion kD3_A2_01_00{0xD3, 0xA2, 0x01, 0x00};
inline constexpr HwVersion kD3_A3_00_01{0xD3, 0xA3, 0x00, 0x01};

// A device of that version over an empty mesh of its generation.
inline std::shared_ptr<FakeMeshDevice> mesh_device(const HwVersion& version) {
  const IpVersion mesh_version = generation_of(version) == Generation::v1 ? IpVersion::v1 : IpVersion::v2;
  return std::make_shared<FakeMeshDevice>(version, empty_mesh(mesh_version));
}

// A layer outside any model, known by its name.
inline std::shared_ptr<Layer> named_layer(const std::string& name) {
  const auto params = LayerParams::create(LayerType::InputData,
                                          {{"input_width", 1}, {"input_height", 1}, {"input_channels", 1}});
  return Layer::create(params.get(), name);
}

}  // namespace ornix::test
