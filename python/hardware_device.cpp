#include "hardware_device.h"

#include <pybind11/stl.h>

#include <algorithm>
#include <mutex>
#include <stdexcept>
#include <string_view>

#include "device_inference.h"
#include "device_messages.h"
#include "hardware/device_discovery.h"
#include "ornix/soc_driver.h"
#include "registration.h"

namespace ornix::python {

namespace {

using DeviceList = std::vector<std::shared_ptr<PyHardwareDevice>>;

// Built by the first call that succeeds; devices attached later are never seen.
const DeviceList& device_list() {
  static DeviceList list;
  static std::once_flag built;
  std::call_once(built, [] {
    const std::vector<std::shared_ptr<Device>>& found = get_devices();
    DeviceList made;
    made.reserve(found.size());
    for (const std::shared_ptr<Device>& device : found) made.push_back(std::make_shared<PyHardwareDevice>(device));
    list = std::move(made);
  });
  return list;
}

// Every (re)programming starts from an unprogrammed device and keeps its own copy of the bytes.
void keep_program(PyHardwareDevice& self, const py::bytes& data) {
  self.hardware()->unprogram();
  const std::string_view bytes = data;
  self.program_bytes.assign(bytes.begin(), bytes.end());
}

const uint8_t* program_data(const PyHardwareDevice& self) {
  return self.program_bytes.empty() ? nullptr : self.program_bytes.data();
}

void record_program_clock(PyHardwareDevice& self) {
  self.metrics.values["program_clk"] = self.hardware()->program_clock_count();
}

py::object get_program(const PyHardwareDevice& self) {
  const HardwareDevice::ProgramView program = self.hardware()->current_program();
  if (program.data == nullptr) return py::none();
  return py::bytes(reinterpret_cast<const char*>(program.data), program.size);
}

void set_program(PyHardwareDevice& self, const py::bytes& data) {
  keep_program(self, data);
  self.hardware()->program(program_data(self), self.program_bytes.size());
  record_program_clock(self);
}

void program_external(PyHardwareDevice& self, const py::bytes& program_info, uint32_t address) {
  keep_program(self, program_info);
  self.hardware()->program_external(program_data(self), self.program_bytes.size(), address);
  record_program_clock(self);
}

void set_learn_enabled(PyHardwareDevice& self, bool enabled) {
  HardwareDevice& hardware = *self.hardware();
  if (hardware.learn_enabled() != enabled) hardware.set_learn_enabled(enabled);
}

py::object get_learn_mem(const PyHardwareDevice& self) {
  const HardwareDevice& hardware = *self.hardware();
  std::vector<uint32_t> words(hardware.learn_mem_size());
  hardware.read_learn_mem(words.data());
  if (words.empty()) return py::none();
  return py::bytes(reinterpret_cast<const char*>(words.data()), words.size() * sizeof(uint32_t));
}

void set_learn_mem(PyHardwareDevice& self, const py::bytes& data) {
  HardwareDevice& hardware = *self.hardware();
  const std::string_view bytes = data;
  std::vector<uint32_t> words(hardware.learn_mem_size());
  if (bytes.size() / sizeof(uint32_t) != words.size()) throw std::runtime_error(msg::kLearnMemSize);
  // copy_n, not memcpy: a device without learned memory has no buffer to copy into.
  std::copy_n(bytes.data(), words.size() * sizeof(uint32_t), reinterpret_cast<char*>(words.data()));
  hardware.write_learn_mem(words.data());
}

// The driver belongs to the device, which lives until the process exits: Python only refers to it.
py::object soc_driver(const PyHardwareDevice& self) {
  HardwareDriver* driver = self.hardware()->driver();
  auto* soc = driver ? dynamic_cast<SocDriver*>(driver) : nullptr;
  if (soc == nullptr) return py::none();
  return py::cast(soc, py::return_value_policy::reference);
}

}  // namespace

void register_hardware_device(py::module_& m) {
  py::class_<PyHardwareDevice, Device, py::smart_holder> device(m, "HardwareDevice");
  device
      .def_property(
          "learn_enabled", [](const PyHardwareDevice& self) { return self.hardware()->learn_enabled(); },
          &set_learn_enabled,
          "\n           Property that enables/disables learning on current program (if\n           possible).\n"
          "          ")
      .def_property("program", &get_program, &set_program,
                    "\n           Property that retrieves current program or programs a device using a\n"
                    "           serialized program bytes object.\n          ")
      .def("program_external", &program_external,
           "\n            Program a device using a serialized program info bytes object,\n            and the "
           "address, as it is seen from ornix on the device,\n            of corresponding program data that "
           "must have been written beforehand.\n           ")
      .def(
          "unprogram",
          [](PyHardwareDevice& self) {
            self.hardware()->unprogram();
            self.program_bytes.clear();
          },
          "\n            Clear current program from hardware device, restoring its initial\n            state\n"
          "           ");
  register_device_inference(device);
  device
      .def_property_readonly(
          "memory",
          [](const PyHardwareDevice& self) {
            const uint64_t memory = self.hardware()->memory();
            return py::make_tuple(static_cast<uint32_t>(memory), static_cast<uint32_t>(memory >> 32));
          },
          "The device memory usage and top usage (in bytes)")
      .def(
          "reset_top_memory", [](PyHardwareDevice& self) { self.hardware()->reset_top_memory(); },
          "Reset the device memory informations")
      .def_property_readonly(
          "soc", &soc_driver,
          "\n            The SocDriver interface used by the device, or None if the device\n            is not a SoC\n"
          "          ")
      .def_property_readonly(
          "metrics",
          // The device's own metrics, not a copy; the view keeps the device alive.
          [](const std::shared_ptr<PyHardwareDevice>& self) { return std::shared_ptr<PyMetrics>(self, &self->metrics); },
          "The metrics from this device")
      .def_property_readonly(
          "inference_power_events", [](const PyHardwareDevice& self) { return self.power_events; },
          "Copy of power events logged after inference")
      .def_property("learn_mem", &get_learn_mem, &set_learn_mem,
                    "\n            Property that retrieves learning layer's memory or updates a device\n"
                    "            using a serialized learning layer memory buffer.\n          ")
      .def("__eq__", [](const PyHardwareDevice& self, const Device& other) { return &self == &other; });

  m.def(
      "devices", [] { return device_list(); },
      "\n             Returns the full list of available hardware devices\n\n             :return: list of Device\n"
      "           ");
}

}  // namespace ornix::python
