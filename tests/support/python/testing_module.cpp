// ornix._testing: what the Python tests need that ornix.core does not offer (yet): models of
// ornix.core layers mapped on ornix.core devices (with constraints) and their programs,
// simulated SoC drivers, power meters holding given events, a mapping the back end never makes,
// a hand-made NP component, metrics tables, tensors of any type and layout, the label
// conversion, the accuracy count, and simulated devices attached to the engine's driver list.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <tuple>
#include <unordered_map>
#include <vector>

#include "array_conversion.h"
#include "classification.h"
#include "cpp/hardware/mesh_fixture.h"
#include "device_registers.h"
#include "hardware/component.h"
#include "hardware/hw_type.h"
#include "hardware/power_meter.h"
#include "hardware/soc_clock.h"
#include "hardware/soc_clock_registers.h"
#include "mapping/layer_mapping.h"
#include "mapping/map_constraints.h"
#include "metrics.h"
#include "ornix/flash_access_driver.h"
#include "ornix/model.h"
#include "ornix/sequence.h"
#include "ornix/soc_driver.h"
#include "ornix/testing/driver_registry.h"
#include "support/simulated_driver.h"

namespace py = pybind11;
using namespace ornix;

namespace {

// A device's driver whose clock counter advances by `clock_step` after every read of it.
class CountingDriver : public HardwareDriver {
 public:
  void read(uint32_t address, void* buffer, size_t length) override {
    registers.read(address, buffer, length);
    if (address == DeviceRegs::kClockCounter) {
      registers.poke(address, registers.peek(address) + clock_step);
    }
  }
  void write(uint32_t address, const void* buffer, size_t length) override { registers.write(address, buffer, length); }
  uint32_t top_level_reg_base() const override { return registers.top_level_reg_base(); }
  std::string desc() const override { return registers.desc(); }

  SimulatedDriver registers;
  uint32_t clock_step = 0;
};

class FlashDriver final : public CountingDriver, public FlashAccessDriver {
 public:
  std::shared_ptr<SpiFlashController> flash_controller() override { return controller; }
  const std::shared_ptr<SpiFlashController> controller = std::make_shared<SpiFlashController>();
};

// A SoC device's driver: clock mode in the SoC clock registers (a change completes on the next
// read) and a power meter while measurement is on.
class SocCountingDriver final : public CountingDriver, public SocDriver {
 public:
  SocCountingDriver() { registers.pend_after_write(soc::kClockChangeAddress, soc::kClockChangePending, 0); }
  soc::ClockMode clock_mode() override { return soc::get_clock_mode(this); }
  void set_clock_mode(soc::ClockMode mode) override { soc::set_clock_mode(this, mode); }
  void enable_power_measurement(bool enable) override {
    meter = enable ? (meter ? meter : std::make_shared<PowerMeter>()) : nullptr;
  }
  std::shared_ptr<PowerMeter> power_meter() override { return meter; }
  std::shared_ptr<PowerMeter> meter;
};

// The attached devices, in attachment order. Discovered devices live until the process exits, and
// so must their drivers: nothing here is ever detached.
struct Attached {
  std::unique_ptr<CountingDriver> driver;
  std::unique_ptr<DriverAttachment> attachment;
};
std::vector<Attached>& attached() {
  static auto* devices = new std::vector<Attached>;
  return *devices;
}
CountingDriver& attached_driver(size_t index) { return *attached().at(index).driver; }

const std::unordered_map<std::string, uint32_t> kRegisters = {
    {"clock", DeviceRegs::kClockCounter},      {"busy", DeviceRegs::kBusy},
    {"program_clock", DeviceRegs::kProgramClockCount}, {"memory", DeviceRegs::kMemoryUsage},
    {"memory_top", DeviceRegs::kMemoryTopUsage}, {"learn_enable", DeviceRegs::kLearnEnable},
    {"learn_mem_size", DeviceRegs::kLearnMemSize}, {"run_frames", DeviceRegs::kRunFrames},
    {"learn_mem", DeviceRegs::kLearnMem}};

size_t writes_to(const SimulatedDriver& registers, uint32_t address) {
  size_t count = 0;
  for (const SimulatedDriver::Access& access : registers.writes()) count += access.address == address ? 1 : 0;
  return count;
}

// A tensor of any type and layout from its stored bytes.
std::shared_ptr<Dense> tensor_of(uint32_t type, const std::vector<uint32_t>& dims, bool reversed,
                                 const py::bytes& data) {
  const std::string bytes = data;
  return Dense::copy(bytes.data(), bytes.size(), TensorType{type}, Shape(std::span(dims)),
                     reversed ? Layout::Reversed : Layout::RowMajor);
}

}  // namespace

PYBIND11_MODULE(_testing, m) {
  py::module_::import("ornix.core");  // binds the layers and registers the hardware back end

  py::class_<Model, py::smart_holder>(m, "Model", py::module_local())
      .def(py::init(&Model::create))
      .def("add", &Model::add, py::arg("layer"), py::arg("inbounds") = std::vector<std::shared_ptr<Layer>>{})
      .def(
          "map",
          [](Model& model, std::shared_ptr<Device> device, std::shared_ptr<MapConstraints> constraints) {
            model.map(std::move(device), true, std::move(constraints));
          },
          py::arg("device"), py::arg("constraints") = nullptr)
      .def_property_readonly("sequences", &Model::sequences)
      .def("program", [](const Model& model, size_t sequence) {
        const Sequence::Bytes bytes = model.sequences().at(sequence)->program();
        return py::bytes(reinterpret_cast<const char*>(bytes.data), bytes.size);
      });

  // SoC drivers of simulated devices, alive until the process ends as a device's driver is.
  m.def(
      "soc_driver",
      []() -> SocDriver* {
        static std::vector<std::unique_ptr<SocCountingDriver>> drivers;
        return drivers.emplace_back(std::make_unique<SocCountingDriver>()).get();
      },
      py::return_value_policy::reference);
  m.def("power_event", [](int64_t ts, uint32_t voltage, uint32_t current) {
    return PowerMeter::PowerEvent{ts, voltage, current};
  });
  // A meter that logged (ts, voltage, current) events in order.
  m.def("power_meter", [](const std::vector<std::tuple<int64_t, uint32_t, uint32_t>>& events) {
    auto meter = std::make_shared<PowerMeter>();
    for (const auto& [ts, voltage, current] : events) meter->log_event({ts, voltage, current});
    return meter;
  });

  // A mapping the back end never makes (it refuses a dual-output layer that also feeds a skip
  // connection): two skip-DMA stores, the first output's in column 1, the second output's in column 2.
  m.def("attach_two_store_mapping", [](Layer& layer) {
    const std::shared_ptr<LayerMapping> record = LayerMapping::create();
    record->merge_info = std::make_unique<MergeLayerMapInfo>();
    record->merge_info->dual_output = true;
    for (const uint8_t col : {1, 2}) {
      record->skipdma_stores.push_back({hw::Type::SKIP_DMA_STORE, {col, 0, 0, 0}, std::nullopt, MemoryInfo{}});
    }
    layer.set_mapping(record);
  });
  m.def("metrics", [](const std::unordered_map<std::string, int64_t>& values) { return python::PyMetrics{values}; });
  m.def("labels_to_int_vector", &python::labels_to_int_vector);
  m.def("tensor_to_numpy", [](uint32_t type, const std::vector<uint32_t>& dims, bool reversed, const py::bytes& data) {
    return python::tensor_to_numpy(tensor_of(type, dims, reversed, data));
  });
  m.def("predicted_classes", [](uint32_t type, const std::vector<uint32_t>& dims, const py::bytes& data,
                                int64_t num_classes) {
    return python::predicted_classes(*tensor_of(type, dims, false, data), num_classes);
  });
  m.def("accuracy", &python::accuracy);
  // A CNP2 share of filters 0 to 7 over an 8x8x8 window, with its padded window starting at
  // column padded_x.
  m.def("np_component", [](bool single_buffer, uint32_t padded_x) {
    const NpSpace window{0, 0, Shape{8, 8, 8}};
    const NpSpace padded{padded_x, 0, Shape{8, 8, 8}};
    return hw::Component{hw::Type::CNP2, {2, 1, 0, 0}, NpAllocation{0, 8, window, padded, single_buffer}, MemoryInfo{}};
  });

  // Simulated devices for ornix.core.devices(), which discovers once per process: attach before
  // its first call. A "flash" device's driver also reaches a board flash. With `v1_fnp` (NP.FNP2
  // or NP.FNP3) the device is a D3 00 00 02 (IP v1) with an HRC, CNPs and one FNP of that kind;
  // otherwise a D3 A2 01 00 (IP v2) of CNPs.
  m.def("attach_device", [](bool flash, bool soc, std::optional<hw::Type> v1_fnp) {
    std::unique_ptr<CountingDriver> driver = flash ? std::make_unique<FlashDriver>()
                                             : soc ? std::make_unique<SocCountingDriver>()
                                                   : std::make_unique<CountingDriver>();
    if (v1_fnp) {
      if (*v1_fnp != hw::Type::FNP2 && *v1_fnp != hw::Type::FNP3) {
        throw std::invalid_argument("v1_fnp must be NP.FNP2 or NP.FNP3");
      }
      testing_mesh::set_v1_mesh_with_fnp(driver->registers, *v1_fnp);
    } else {
      testing_mesh::set_2x2_mesh(driver->registers, testing_mesh::kD3_A2_01_00);
    }
    auto attachment = std::make_unique<DriverAttachment>(driver.get());
    attached().push_back({std::move(driver), std::move(attachment)});
  }, py::arg("flash") = false, py::arg("soc") = false, py::arg("v1_fnp") = py::none());
  // Logs a measurement into the power meter of attached SoC device `device` (measurement on).
  m.def("log_power", [](size_t device, int64_t ts, uint32_t voltage, uint32_t current) {
    dynamic_cast<SocCountingDriver&>(attached_driver(device)).meter->log_event({ts, voltage, current});
  });
  m.def("set_clock", [](size_t device, uint32_t start, uint32_t step) {
    attached_driver(device).registers.poke(DeviceRegs::kClockCounter, start);
    attached_driver(device).clock_step = step;
  });
  // What the device's program answers per frame: a (width, height, channels) tensor of a type.
  m.def("set_output", [](size_t device, const std::vector<uint32_t>& dims, uint32_t type) {
    attached_driver(device).registers.set_output(Shape(std::span(dims)), TensorType{type});
  });
  m.def("poke", [](size_t device, const std::string& name, uint32_t value) {
    attached_driver(device).registers.poke(kRegisters.at(name), value);
  });
  m.def("peek", [](size_t device, const std::string& name) {
    return attached_driver(device).registers.peek(kRegisters.at(name));
  });
  m.def("writes", [](size_t device, const std::string& name) {
    return writes_to(attached_driver(device).registers, kRegisters.at(name));
  });
  m.def("program_count", [](size_t device) { return attached_driver(device).registers.program_count(); });
  // The learned memory the device's learning layer holds after a fit: its words, in order.
  m.def("set_learn_mem", [](size_t device, const std::vector<uint32_t>& words) {
    attached_driver(device).registers.set_learn_mem(words);
  });
}
