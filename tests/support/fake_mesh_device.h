#pragma once

#include <string>
#include <utility>

#include "hardware/mesh.h"
#include "ornix/device.h"

namespace ornix::test {

// A virtual device of a given version over a mesh built by hand.
class FakeMeshDevice final : public Device {
 public:
  FakeMeshDevice(HwVersion version, Mesh mesh) : version_(version), mesh_(std::move(mesh)) {}
  HwVersion version() const override { return version_; }
  std::string desc() const override { return "fake mesh device"; }
  const Mesh* mesh() const override { return &mesh_; }
  HardwareDevice* hardware() const override { return hardware_; }

  Mesh& editable_mesh() { return mesh_; }
  // The hardware hardware() gives (not owned; null by default).
  void set_hardware(HardwareDevice* hardware) { hardware_ = hardware; }

 private:
  HwVersion version_;
  Mesh mesh_;
  HardwareDevice* hardware_ = nullptr;
};

// A mesh of `version` with no component and the version's default SRAM sizes.
inline Mesh empty_mesh(IpVersion version) { return Mesh(version, {}, {}, std::nullopt, {}, {}); }

}  // namespace ornix::test
