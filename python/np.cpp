#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include "hardware/component.h"
#include "hardware/hw_type.h"
#include "np_ident_ref.h"
#include "np_info_ref.h"
#include "ornix/hw/ident.h"
#include "registration.h"

namespace ornix::python {

namespace {

std::string ident_text(const hw::Ident& ident) {
  return "(" + std::to_string(ident.col) + ", " + std::to_string(ident.row) + ", " + std::to_string(ident.id) + ")";
}

// Components are equal whatever their NP shares' buffering.
bool component_equal(const hw::Component& a, const hw::Component& b) {
  if (a.type != b.type || a.ident != b.ident || a.allocation.has_value() != b.allocation.has_value()) return false;
  if (a.allocation) {
    const NpAllocation& x = *a.allocation;
    const NpAllocation& y = *b.allocation;
    if (x.start_neuron != y.start_neuron || x.filters != y.filters || x.spatial_partition != y.spatial_partition ||
        x.padded_partition != y.padded_partition) {
      return false;
    }
  }
  return a.mem_info == b.mem_info;
}

template <uint8_t hw::Ident::*Field>
void def_ident_field(py::class_<IdentRef, py::smart_holder>& ident, const char* name, const char* doc) {
  ident.def_property(
      name, [](const IdentRef& self) { return self.get().*Field; },
      [](const IdentRef& self, uint8_t value) { self.get().*Field = value; }, doc);
}

void register_ident(py::module_& np_module) {
  py::class_<IdentRef, py::smart_holder> ident(
      np_module, "Ident",
      "\n    Represents the unique identifier for a Hardware Component.\n\n"
      "    This includes the component position on the mesh (row, column, id) and\n"
      "    the channel index for skip DMAs.");
  ident.def(py::init([](uint8_t col, uint8_t row, uint8_t id) { return IdentRef(hw::Ident{col, row, id, 0}); }))
      .def(py::init([](uint8_t col, uint8_t row, uint8_t id, uint8_t channel) {
        return IdentRef(hw::Ident{col, row, id, channel});
      }));
  def_ident_field<&hw::Ident::col>(ident, "col", "Hardware Component column number");
  def_ident_field<&hw::Ident::row>(ident, "row", "Hardware Component row number");
  def_ident_field<&hw::Ident::id>(ident, "id", "Hardware Component id");
  def_ident_field<&hw::Ident::channel>(ident, "channel", "Component channel");
  ident.def("__str__", [](const IdentRef& self) { return ident_text(self.get()); })
      .def("__repr__", [](const IdentRef& self) { return ident_text(self.get()); })
      .def(
          "__eq__", [](const IdentRef& self, const IdentRef& other) { return self.get() == other.get(); },
          py::is_operator());
}

void register_type(py::module_& np_module) {
  py::enum_<hw::Type>(np_module, "Type", "Harwdare Component type")
      .value("HRC", hw::Type::HRC, "High Resolution Convolution")
      .value("CNP1", hw::Type::CNP1, "Convolutional Neural Processor Type 1")
      .value("CNP2", hw::Type::CNP2, "Convolutional Neural Processor Type 2")
      .value("FNP2", hw::Type::FNP2, "FullyConnected Neural Processor (external memory)")
      .value("FNP3", hw::Type::FNP3, "FullyConnected Neural Processor (internal memory)")
      .value("TNP_B", hw::Type::TNP_B, "Temporal Neural Processor Buffered")
      .value("TNP_R", hw::Type::TNP_R, "Temporal Neural Processor Recurrent")
      .value("SKIP_DMA_STORE", hw::Type::SKIP_DMA_STORE, "Skip DMA store engine")
      .value("SKIP_DMA_LOAD", hw::Type::SKIP_DMA_LOAD, "Skip DMA load engine")
      .export_values();
}

void register_info(py::module_& np_module) {
  py::class_<InfoRef, py::smart_holder>(
      np_module, "Info",
      "\n        Describes a hardware component.\n\n"
      "        Includes its unique identifier and the set of hardware types it supports.\n        ")
      .def(py::init([](const hw::Ident& ident, const py::iterable& types, bool has_lut) {
             return InfoRef(np::Info{ident, to_types(types), has_lut});
           }),
           py::arg("ident"), py::arg("types"), py::arg("has_lut") = false)
      .def_static(
          "hrc", [](bool has_lut) { return InfoRef(np::Info{hw::Ident{}, {hw::Type::HRC}, has_lut}); },
          py::arg("has_lut"), "Construct an ornix.NP.Info for HRC with optional LUT.")
      .def_property(
          "ident", [](const InfoRef& self) { return IdentRef(self); },
          [](const InfoRef& self, const hw::Ident& ident) { self.get().ident = ident; },
          "Hardware Component identifier")
      .def_property(
          "types",
          [](const InfoRef& self) {
            const std::set<hw::Type>& types = self.get().types;
            return std::vector<hw::Type>(types.begin(), types.end());
          },
          [](const InfoRef& self, const py::iterable& types) { self.get().types = to_types(types); },
          "Hardware Component supported types")
      .def_property(
          "has_lut", [](const InfoRef& self) { return self.get().has_lut; },
          [](const InfoRef& self, bool has_lut) { self.get().has_lut = has_lut; },
          "Indicate whether the NP has a lookup table.")
      .def(
          "__eq__", [](const InfoRef& self, const InfoRef& other) { return self.get() == other.get(); },
          py::is_operator());
}

void register_np_space(py::module_& np_module) {
  py::class_<NpSpace, py::smart_holder>(
      np_module, "NpSpace",
      "\n      Represents the part of the input used by this Neural Processor if a layer is split over several NPs.")
      .def(py::init<>())
      .def_readonly("x", &NpSpace::x, "X index")
      .def_readonly("y", &NpSpace::y, "Y index")
      .def_property_readonly(
          "shape", [](const NpSpace& self) { return std::vector<uint32_t>(self.shape.begin(), self.shape.end()); },
          "Shape of the space");
}

void register_memory_info(py::module_& np_module) {
  py::class_<MemoryInfo, py::smart_holder>(
      np_module, "MemoryInfo",
      "Represents memory usage information for a Hardware Component.\n\n"
      "      This includes memory used by inputs, weights, and any external buffers.\n"
      "      All sizes are in bytes.\n      ")
      .def(py::init<>())
      .def_readonly("input_size", &MemoryInfo::input_size, "Input memory size. (Bytes)")
      .def_readonly("weight_size", &MemoryInfo::weight_size, "Weight memory size. (Bytes)")
      .def_readonly("external_size", &MemoryInfo::external_size, "External memory size. (Bytes)")
      .def(
          "__eq__", [](const MemoryInfo& self, const MemoryInfo& other) { return self == other; },
          py::is_operator());
}

void register_component(py::module_& np_module) {
  py::class_<hw::Component, py::smart_holder>(np_module, "Component", "\n      An Ornix component")
      .def_property_readonly(
          "ident",
          [](const std::shared_ptr<hw::Component>& self) {
            return IdentRef(std::shared_ptr<hw::Ident>(self, &self->ident));
          },
          "Hardware Component identifier")
      .def_property_readonly(
          "type", [](const hw::Component& self) { return self.type; }, "Hardware Component type")
      .def_readonly("mem_info", &hw::Component::mem_info, "Hardware Component memory information")
      .def_property_readonly(
          "filters", [](const hw::Component& self) { return hw::np_share_or_default(self).filters; },
          "Number of filters processed by the Neural Processor")
      .def_property_readonly(
          "start_neuron", [](const hw::Component& self) { return hw::np_share_or_default(self).start_neuron; },
          "Index of the first filter processed by the Neural Processor")
      .def_property_readonly(
          "spatial_partition",
          [](const hw::Component& self) { return hw::np_share_or_default(self).spatial_partition; },
          "Spatial partition processed by the Neural Processor")
      .def_property_readonly(
          "single_buffer", [](const hw::Component& self) { return hw::np_share_or_default(self).single_buffer; },
          "Neural Processor uses a single or dual input buffer")
      .def("__eq__", &component_equal, py::is_operator());
}

}  // namespace

void register_np_components(py::module_& m) {
  py::module_ np_module = m.def_submodule("NP", "Neural Processor");
  register_ident(np_module);
  register_type(np_module);
  register_info(np_module);
  register_np_space(np_module);
  register_memory_info(np_module);
  register_component(np_module);
}

}  // namespace ornix::python
