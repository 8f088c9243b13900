#include <pybind11/stl.h>

#include <cstdint>
#include <optional>

#include "hardware/power_meter.h"
#include "registration.h"

namespace ornix::python {

namespace {

constexpr const char* kPowerEventDoc = R"(
    A timestamped power measurement.

    Each PowerEvent contains:
    - a voltage value in µV (microvolt),
    - a current value in mA (milliampere),
    - the corresponding power value in mW (milliwatt).
          )";

constexpr const char* kPowerMeterDoc = R"(
    Gives access to power measurements.

    When power measurements are enabled for a specific device, this object
    stores them as a list of ``PowerEvent`` objects.
    The events list cannot exceed a predefined size: when it is full, older
    events are replaced by newer events.
          )";

constexpr uint64_t kNanowattsPerMilliwatt = 1000000;  // µV x mA = nW

}  // namespace

void register_power(py::module_& m) {
  using Event = PowerMeter::PowerEvent;
  py::class_<Event>(m, "PowerEvent", kPowerEventDoc)
      .def_readonly("ts", &Event::ts, "Timestamp of the event")
      .def_readonly("voltage", &Event::voltage, "Voltage value in µV")
      .def_readonly("current", &Event::current, "Current value in mA")
      .def_property_readonly(
          "power", [](const Event& event) { return uint64_t{event.voltage} * event.current / kNanowattsPerMilliwatt; },
          "Power value in mW");

  py::class_<PowerMeter, py::smart_holder>(m, "PowerMeter", kPowerMeterDoc)
      .def("events", &PowerMeter::events, "Retrieve all pending events")
      .def_property_readonly(
          "floor",
          [](const PowerMeter& meter) -> std::optional<double> {
            if (!meter.has_events()) return std::nullopt;
            return meter.floor();
          },
          "Get the floor power");
}

}  // namespace ornix::python
