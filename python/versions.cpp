#include <pybind11/pybind11.h>

#include "hardware/known_versions.h"
#include "hw_version_text.h"
#include "ornix/hw_version.h"
#include "registration.h"

namespace ornix::python {

void register_hw_version(py::module_& m) {
  py::class_<HwVersion, py::smart_holder>(m, "HwVersion")
      .def(py::init([](uint8_t vendor_id, uint8_t product_id, uint8_t major_rev, uint8_t minor_rev) {
        return HwVersion{vendor_id, product_id, major_rev, minor_rev};
      }))
      .def_readonly("vendor_id", &HwVersion::vendor_id, "The hardware vendor identifier")
      .def_readonly("product_id", &HwVersion::product_id, "The hardware product identifier")
      .def_readonly("major_rev", &HwVersion::major_rev, "The hardware major revision")
      .def_readonly("minor_rev", &HwVersion::minor_rev, "The hardware minor revision")
      .def_property_readonly("ip_version", &HwVersion::get_ip_version, "The IP version.")
      .def("__str__", &format_hw_version)
      .def("__repr__", &format_hw_version)
      .def(
          "__eq__", [](const HwVersion& self, const HwVersion& other) { return self == other; },
          py::is_operator());

  // The named versions refer to the program's constants; HwVersion has no setter.
  const auto named = [&m](const char* name, const HwVersion& version) {
    m.attr(name) = py::cast(&version, py::return_value_policy::reference);
  };
  named("Vamo_v1", kVamoV1);
  named("Vamo_v2", kVamoV2);
  named("Tarvik_v1", kTarvikV1);
  named("KPL2200_v1", kKpl2200V1);
  named("Pelmo_v2", kPelmoV2);
}

}  // namespace ornix::python
