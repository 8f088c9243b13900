#include <pybind11/stl.h>

#include <memory>
#include <utility>
#include <vector>

#include "hardware/power_meter.h"
#include "ornix/sequence.h"
#include "ornix/soc_driver.h"
#include "registration.h"

namespace ornix::python {

namespace {

// The two parts of a sequence's program as they were when read. The views point into bytes the
// sequence owns, so the object keeps the sequence alive.
struct ProgramPartsView {
  std::shared_ptr<const Sequence> sequence;
  Sequence::ProgramParts parts;
};

// A copy of the viewed bytes, or None for an absent part.
py::object bytes_or_none(const Sequence::Bytes& view) {
  if (view.data == nullptr) return py::none();
  return py::bytes(reinterpret_cast<const char*>(view.data), view.size);
}

constexpr const char* kProgramPartsDoc = R"(
      Represents a program splitted in different parts.

      program_info is the program part containing information on how to program the
      device.
      program_data is the program part containing the program data required by ornix
      to configure the IP.
)";

constexpr const char* kSequenceDoc = R"(
          Represents a sequence of layers.

          Sequences can be mapped in Software or on a Device.
          )";

constexpr const char* kProgramDoc = R"(
             Get the hardware program for this sequence.

             Returns None if the Sequence is not compatible with the selected
             Device.

             :return: a bytes buffer or None
          )";

constexpr const char* kPassDoc = R"(
      Represents a subset of the Sequence.

      Hardware Sequences can typically be split into multiple passes on devices
      that support hardware partial reconfiguration feature, reducing the
      intervention of the software during inference.
      )";

constexpr const char* kPowerMeasurementDoc =
    "Power measurement is off by default. Toggle it on to get power information in the statistics or when calling "
    "PowerMeter.events().";

}  // namespace

void register_soc_driver(py::module_& m) {
  // Not owned by Python: the driver belongs to its device.
  py::class_<SocDriver, py::smart_holder>(m, "SocDriver")
      .def_property("clock_mode", &SocDriver::clock_mode, &SocDriver::set_clock_mode, "Clock mode of the Vamo.")
      .def_property(
          "power_measurement_enabled", [](SocDriver& driver) { return driver.power_meter() != nullptr; },
          &SocDriver::enable_power_measurement, kPowerMeasurementDoc)
      .def_property_readonly("power_meter", &SocDriver::power_meter, "Power meter associated to the SoC.");
}

void register_sequences(py::module_& m) {
  py::class_<ProgramPartsView, py::smart_holder>(m, "ProgramParts", kProgramPartsDoc)
      .def_property_readonly("program_info",
                             [](const ProgramPartsView& view) { return bytes_or_none(view.parts.program_info); })
      .def_property_readonly("program_data",
                             [](const ProgramPartsView& view) { return bytes_or_none(view.parts.program_data); });

  py::class_<Sequence, py::smart_holder>(m, "Sequence", kSequenceDoc)
      .def_property_readonly("passes", &Sequence::passes, "Get the list of passes in this sequence.")
      .def_property_readonly("backend", &Sequence::backend, "The backend type for this Sequence.")
      .def_property_readonly(
          "program", [](const Sequence& sequence) { return bytes_or_none(sequence.program()); }, kProgramDoc)
      .def_property_readonly(
          "program_parts",
          [](const std::shared_ptr<const Sequence>& sequence) {
            return ProgramPartsView{sequence, sequence->program_parts()};
          },
          "Get the program, splitted in different parts")
      .def_property_readonly("name", &Sequence::name, "The name of the sequence");

  py::class_<Sequence::Pass, py::smart_holder>(m, "Pass", kPassDoc)
      .def_readonly("layers", &Sequence::Pass::layers, "Get the list of layers in this pass.");
}

}  // namespace ornix::python
