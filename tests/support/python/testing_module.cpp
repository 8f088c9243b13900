// ornix._testing: what the Python tests need of the engine and the back end that the module
// does not offer itself: models assembled and mapped from C++ (layers come from ornix.core),
// metrics tables, the label conversion and the classification of model outputs.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "array_conversion.h"
#include "classification.h"
#include "fake_mesh_device.h"
#include "metrics.h"
#include "ornix/model.h"

namespace py = pybind11;
using namespace ornix;

namespace {

// IP v2: four columns of four CNPs, an FNP3, the DMA in column 1, one skip-DMA engine of four
// channels.
std::shared_ptr<Device> virtual_v2_device() {
  std::vector<np::Info> nps;
  for (uint8_t col = 2; col <= 5; ++col) {
    for (uint8_t id = 0; id < 4; ++id) nps.push_back({{col, 1, id, 0}, {hw::Type::CNP1, hw::Type::CNP2}, false});
  }
  nps.push_back({{6, 2, 0, 0}, {hw::Type::FNP3}, false});
  std::vector<np::Info> skip_dmas{{{6, 1, 0, 4}, {hw::Type::SKIP_DMA_STORE, hw::Type::SKIP_DMA_LOAD}, false}};
  return std::make_shared<test::FakeMeshDevice>(
      HwVersion{0xD3, 0xA2, 0x01, 0x00},
      Mesh(IpVersion::v2, {1, 1, 0, 0}, {1, 1, 1, 0}, std::nullopt, std::move(nps), std::move(skip_dmas)));
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
      .def("map_on_virtual_v2", [](Model& model) { model.map(virtual_v2_device(), true, nullptr); });

  m.def("metrics", [](const std::unordered_map<std::string, int64_t>& values) { return python::PyMetrics{values}; });
  m.def("labels_to_int_vector", &python::labels_to_int_vector);
  // Stored bytes read back as NumPy sees them.
  m.def("tensor_to_numpy", [](uint32_t type, const std::vector<uint32_t>& dims, bool reversed, const py::bytes& data) {
    return python::tensor_to_numpy(tensor_of(type, dims, reversed, data));
  });
  m.def("predicted_classes", [](uint32_t type, const std::vector<uint32_t>& dims, const py::bytes& data,
                                int64_t num_classes) {
    return python::predicted_classes(*tensor_of(type, dims, false, data), num_classes);
  });
}
