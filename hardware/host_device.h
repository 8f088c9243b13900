#pragma once

#include <memory>
#include <string>

#include "hardware/mesh.h"
#include "ornix/device.h"
#include "ornix/hardware_device.h"

namespace ornix {

// A physical device found by discovery: the engine's hardware device and its discovered mesh.
class HostDevice final : public Device {
 public:
  // Shares the hardware device and owns the mesh; both must be non-null.
  HostDevice(std::shared_ptr<HardwareDevice> hardware, std::unique_ptr<Mesh> mesh);

  HwVersion version() const override;
  std::string desc() const override;
  const Mesh* mesh() const override;
  HardwareDevice* hardware() const override;

 private:
  // Declared in this order so that the mesh is released before the hardware device.
  std::shared_ptr<HardwareDevice> hardware_;
  std::unique_ptr<Mesh> mesh_;
};

}  // namespace ornix
