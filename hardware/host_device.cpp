#include "hardware/host_device.h"

#include <utility>

namespace ornix {

HostDevice::HostDevice(std::shared_ptr<HardwareDevice> hardware, std::unique_ptr<Mesh> mesh)
    : hardware_(std::move(hardware)), mesh_(std::move(mesh)) {}

HwVersion HostDevice::version() const { return hardware_->version(); }

std::string HostDevice::desc() const { return hardware_->desc(); }

const Mesh* HostDevice::mesh() const { return mesh_.get(); }

HardwareDevice* HostDevice::hardware() const { return hardware_.get(); }

}  // namespace ornix
