#pragma once

#include <memory>
#include <string>
#include <vector>

#include "hardware/power_meter.h"
#include "metrics.h"
#include "ornix/device.h"
#include "ornix/hardware_device.h"

namespace ornix::python {

// A discovered device as Python sees it: the device's identity answered by the device, plus
// the program bytes it was given and the metrics and power events of its last direct run.
struct PyHardwareDevice final : Device {
  explicit PyHardwareDevice(std::shared_ptr<Device> wrapped) : device(std::move(wrapped)) {}

  HwVersion version() const override { return device->version(); }
  std::string desc() const override { return device->desc(); }
  const Mesh* mesh() const override { return device->mesh(); }
  HardwareDevice* hardware() const override { return device->hardware(); }

  const std::shared_ptr<Device> device;
  // The engine may read these bytes while it holds the program: changed only by programming
  // again or unprogramming.
  std::vector<uint8_t> program_bytes;
  PyMetrics metrics;
  std::vector<PowerMeter::PowerEvent> power_events;
};

}  // namespace ornix::python
