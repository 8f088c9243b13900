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
          // A copy: the device's own mesh is read-only, and a device keeps the layout it was
          // discovered or built with, whatever Python does with the copy.
          [](const Device& self) { return *self.mesh(); }, "The device Mesh layout");
}

}  // namespace ornix::python
