#include "virtual_device.h"

#include <stdexcept>
#include <string>

#include "hardware/ip_version_text.h"
#include "hardware/messages.h"
#include "hw_version_text.h"

namespace ornix::python {

namespace {

class VirtualDevice final : public Device {
 public:
  VirtualDevice(HwVersion version, const Mesh& mesh)
      : version_(version), mesh_(mesh), desc_("VirtualDevice/" + format_hw_version(version)) {}

  HwVersion version() const override { return version_; }
  std::string desc() const override { return desc_; }
  const Mesh* mesh() const override { return &mesh_; }
  HardwareDevice* hardware() const override { return nullptr; }

 private:
  HwVersion version_;
  Mesh mesh_;
  std::string desc_;
};

}  // namespace

std::shared_ptr<Device> create_virtual_device(HwVersion version, const Mesh& mesh) {
  if (version.get_ip_version() != mesh.version) {
    throw std::invalid_argument(
        incompatible_versions_message(version.to_string(), version.product_id, to_string(mesh.version)));
  }
  return std::make_shared<VirtualDevice>(version, mesh);
}

}  // namespace ornix::python
