#include <memory>

#include <pybind11/pybind11.h>

#include "hardware/mesh.h"
#include "ornix/device.h"
#include "registration.h"
#include "virtual_device.h"

namespace ornix::python {

void register_device(py::module_& m) {
  py::class_<Device, py::smart_holder>(m, "Device")
      .def(py::init(&create_virtual_device))
      .def_property_readonly(
          "desc", [](const Device& self) { return self.desc(); },
          "\n             Returns the Device description\n\n             :return: a string describing the Device\n"
          "           ")
      .def_property_readonly(
          "version", [](const Device& self) { return self.version(); }, "The device hardware version.")
      .def_property_readonly(
          "ip_version", [](const Device& self) { return self.version().get_ip_version(); },
          "The device IP version.")
      .def_property_readonly(
          "mesh",
          // The device's own mesh; the view shares ownership of the device.
          [](const std::shared_ptr<Device>& self) {
            return std::shared_ptr<Mesh>(self, const_cast<Mesh*>(self->mesh()));
          },
          "The device Mesh layout");
}

}  // namespace ornix::python
