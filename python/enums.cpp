#include <pybind11/pybind11.h>

#include "ornix/backend_type.h"
#include "ornix/ip_version.h"
#include "ornix/soc/clock_mode.h"
#include "registration.h"

namespace ornix::python {

void register_backend_type(py::module_& m) {
  py::enum_<BackendType>(m, "BackendType")
      .value("Software", BackendType::Software)
      .value("Hardware", BackendType::Hardware)
      .value("Hybrid", BackendType::Hybrid)
      .export_values();
}

void register_clock_mode(py::module_& soc) {
  py::enum_<soc::ClockMode>(soc, "ClockMode", "Clock mode configuration")
      .value("Performance", soc::ClockMode::Performance)
      .value("Economy", soc::ClockMode::Economy)
      .value("LowPower", soc::ClockMode::LowPower)
      .export_values();
}

void register_ip_version(py::module_& m) {
  py::enum_<IpVersion>(m, "IpVersion", "The reference Ornix IP version")
      .value("none", IpVersion::none)
      .value("v1", IpVersion::v1)
      .value("v2", IpVersion::v2)
      .export_values();
}

}  // namespace ornix::python
