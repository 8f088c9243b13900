#pragma once

#include <string>

#include "ornix/hw_version.h"

namespace ornix {

class HardwareDevice;
class Mesh;  // the hardware back end's description of a device's NP mesh

// A device as the engine sees it: implemented by the back end (a discovered host device, a
// virtual device built from a description).
class Device {
 public:
  virtual ~Device() = default;
  virtual HwVersion version() const = 0;
  virtual std::string desc() const = 0;
  virtual const Mesh* mesh() const = 0;
  // The physical device behind it; null for a virtual device.
  virtual HardwareDevice* hardware() const = 0;
};

}  // namespace ornix
