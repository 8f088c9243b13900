#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include "hardware/mesh.h"
#include "hardware/sram_size.h"
#include "np_ident_ref.h"
#include "np_info_ref.h"
#include "np_messages.h"
#include "registration.h"

namespace ornix::python {

namespace {

// The module attributes SramSize_v1 and SramSize_v2 are the back end's constants themselves.
void refuse_constant(const SramSize& size) {
  if (&size == &SramSize_v1 || &size == &SramSize_v2) throw py::attribute_error(kMsgSramSizeConstant);
}

// A view of one of the mesh's DMA endpoints that keeps the mesh alive.
IdentRef endpoint_view(const std::shared_ptr<Mesh>& mesh, hw::Ident Mesh::*endpoint) {
  return IdentRef(std::shared_ptr<hw::Ident>(mesh, &((*mesh).*endpoint)));
}

bool mesh_equal(const Mesh& a, const Mesh& b) {
  return a.version == b.version && a.dma_event == b.dma_event && a.dma_conf == b.dma_conf && a.hrc == b.hrc &&
         a.nps == b.nps && a.skip_dmas == b.skip_dmas && a.np_sram_size == b.np_sram_size;
}

void register_sram_size(py::module_& np_module) {
  py::class_<SramSize, py::smart_holder>(np_module, "SramSize", "Size of shared SRAM available inside the mesh.\n      ")
      .def(py::init<>())
      .def(py::init([](int32_t input_bytes, int32_t weight_bytes) {
             return SramSize{static_cast<uint32_t>(input_bytes), static_cast<uint32_t>(weight_bytes)};
           }),
           py::arg("input_bytes"), py::arg("weight_bytes"))
      .def_property(
          "input_bytes", [](const SramSize& self) { return self.input_bytes; },
          [](SramSize& self, uint32_t bytes) {
            refuse_constant(self);
            self.input_bytes = bytes;
          },
          "Size of shared input packet SRAM available inside the mesh for each two NPs. (Bytes).")
      .def_property(
          "weight_bytes", [](const SramSize& self) { return self.weight_bytes; },
          [](SramSize& self, uint32_t bytes) {
            refuse_constant(self);
            self.weight_bytes = bytes;
          },
          "Size of shared filter SRAM available inside the mesh for each two NPs. (Bytes).");
  np_module.attr("SramSize_v1") = py::cast(&SramSize_v1, py::return_value_policy::reference);
  np_module.attr("SramSize_v2") = py::cast(&SramSize_v2, py::return_value_policy::reference);
}

void register_mesh(py::module_& np_module) {
  using Infos = std::vector<np::Info>;
  py::class_<Mesh, py::smart_holder>(
      np_module, "Mesh",
      "\n    Represents the layout of a mesh of Neural Processors.\n\n"
      "    Contains configuration and event endpoints related to DMA (Direct Memory Access)\n"
      "    for managing data transfer across the mesh, HRC availability and sram memory sizes.\n    ")
      .def(py::init([](IpVersion version, const hw::Ident& dma_event, const hw::Ident& dma_conf,
                       std::optional<np::Info> hrc, Infos nps, Infos skip_dmas) {
             return Mesh(version, dma_event, dma_conf, std::move(hrc), std::move(nps), std::move(skip_dmas));
           }),
           py::arg("version"), py::arg("dma_event"), py::arg("dma_conf"), py::arg("hrc"), py::arg("nps"),
           py::arg("skip_dmas") = py::list())
      .def(py::init([](IpVersion version, const hw::Ident& dma_event, const hw::Ident& dma_conf,
                       std::optional<np::Info> hrc, Infos nps, Infos skip_dmas, const SramSize& np_sram_size) {
             Mesh mesh(version, dma_event, dma_conf, std::move(hrc), std::move(nps), std::move(skip_dmas));
             mesh.np_sram_size = np_sram_size;
             return mesh;
           }),
           py::arg("version"), py::arg("dma_event"), py::arg("dma_conf"), py::arg("has_hrc"), py::arg("nps"),
           py::arg("skip_dmas") = py::list(), py::arg("np_sram_size"))
      .def_property(
          "dma_event", [](const std::shared_ptr<Mesh>& self) { return endpoint_view(self, &Mesh::dma_event); },
          [](Mesh& self, const hw::Ident& ident) { self.dma_event = ident; }, "DMA event endpoint")
      .def_property(
          "dma_conf", [](const std::shared_ptr<Mesh>& self) { return endpoint_view(self, &Mesh::dma_conf); },
          [](Mesh& self, const hw::Ident& ident) { self.dma_conf = ident; }, "DMA configuration endpoint")
      .def_property(
          "hrc", [](const std::shared_ptr<Mesh>& self) { return hrc_view(self); },
          [](Mesh& self, std::optional<np::Info> hrc) { set_hrc(self, std::move(hrc)); }, "HRC if installed.")
      .def_property(
          "skip_dmas", [](const std::shared_ptr<Mesh>& self) { return entry_views(self, &Mesh::skip_dmas); },
          [](Mesh& self, Infos skip_dmas) { set_entries(self, &Mesh::skip_dmas, std::move(skip_dmas)); },
          "Skip DMAs")
      .def_property(
          "nps", [](const std::shared_ptr<Mesh>& self) { return entry_views(self, &Mesh::nps); },
          [](Mesh& self, Infos nps) { set_entries(self, &Mesh::nps, std::move(nps)); }, "Neural processors")
      .def_readwrite("np_sram_size", &Mesh::np_sram_size, "Size of shared SRAM available inside the mesh for NPs.")
      .def("__eq__", &mesh_equal, py::is_operator());
}

}  // namespace

void register_np_mesh(py::module_& m) {
  py::module_ np_module = m.def_submodule("NP", "Neural Processor");
  register_sram_size(np_module);
  register_mesh(np_module);
}

}  // namespace ornix::python
