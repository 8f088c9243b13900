#include <pybind11/stl.h>

#include <vector>

#include "hardware/component.h"
#include "hardware/hw_type.h"
#include "layer_messages.h"
#include "mapping/layer_mapping.h"
#include "ornix/layer.h"
#include "python_text.h"
#include "registration.h"

namespace ornix::python {

namespace {

// The kind of component the engine asks about for a component type of the mesh.
ComponentKind component_kind(hw::Type type) {
  switch (type) {
    case hw::Type::HRC:
      return ComponentKind::HRC;
    case hw::Type::CNP1:
    case hw::Type::CNP2:
      return ComponentKind::CNP;
    case hw::Type::FNP2:
    case hw::Type::FNP3:
      return ComponentKind::FNP;
    case hw::Type::SKIP_DMA_STORE:
    case hw::Type::SKIP_DMA_LOAD:
      return ComponentKind::SkipDma;
    case hw::Type::TNP_B:
      return ComponentKind::TNP_B;
    case hw::Type::TNP_R:
      return ComponentKind::TNP_R;
    case hw::Type::DMA:
      return ComponentKind::DMA;
    case hw::Type::None:
      break;
  }
  return ComponentKind::None;
}

std::vector<uint32_t> dims_of(const Shape& shape) { return {shape.begin(), shape.end()}; }

// One input: its dimensions; none or several: one list per input, in input order.
py::object input_dims(const Layer& layer) {
  const std::vector<Shape> shapes = layer.input_dimensions();
  if (shapes.size() == 1) return py::cast(dims_of(shapes.front()));
  py::list inputs;
  for (const Shape& shape : shapes) inputs.append(py::cast(dims_of(shape)));
  return inputs;
}

std::vector<hw::Component> nps(const Layer::Mapping& mapping) {
  return mapping.nps ? *mapping.nps : std::vector<hw::Component>{};
}

// Every mapping a layer holds is the back end's LayerMapping; another kind has no skip-DMA
// components.
std::vector<hw::Component> skipdma_loads(const Layer::Mapping& mapping) {
  const auto* record = dynamic_cast<const LayerMapping*>(&mapping);
  const hw::Component* load = record ? record->skipdma_load() : nullptr;
  return load ? std::vector<hw::Component>{*load} : std::vector<hw::Component>{};
}

// The store of the first output, then the store of a dual-output layer's second output.
std::vector<hw::Component> skipdma_stores(const Layer::Mapping& mapping) {
  std::vector<hw::Component> stores;
  if (const auto* record = dynamic_cast<const LayerMapping*>(&mapping)) {
    for (const hw::Component* store : {record->skipdma_store(), record->skipdma_store_dual_output()}) {
      if (store) stores.push_back(*store);
    }
  }
  return stores;
}

constexpr const char* kComponentsDoc = "a list of ``NP.Component`` objects.";

}  // namespace

void register_layer(py::module_& m) {
  py::class_<Layer, py::smart_holder> layer(m, "Layer");
  py::class_<Layer::Mapping, py::smart_holder>(layer, "Mapping",
                                               "The mapping of a Layer on one or more Neural Processors.")
      .def_property_readonly("nps", &nps, kComponentsDoc)
      .def_property_readonly("skipdma_loads", &skipdma_loads, kComponentsDoc)
      .def_property_readonly("skipdma_stores", &skipdma_stores, kComponentsDoc);

  layer
      .def(py::init([](const LayerParams* params, const std::string& name) {
             check_name_is_text(name, msg::layer_name_not_text);
             return Layer::create(params, name);
           }),
           py::arg("params"), py::arg("name"))
      .def(
          "is_target_component",
          [](const Layer& self, hw::Type hw_type) { return self.is_target_component(component_kind(hw_type)); },
          py::arg("hw_type"), "Checks whether the layer can be mapped on the specified hardware component type. ")
      .def_property_readonly("name", &Layer::name, "The layer name.")
      .def_property_readonly("macs", &Layer::macs, "The number of multiply-accumulate operations.")
      .def_property_readonly("input_dims", &input_dims, "The layer input dimensions.")
      .def_property_readonly(
          "output_dims", [](const Layer& self) { return dims_of(self.output_dimensions()); },
          "The layer output dimensions.")
      .def_property_readonly(
          "variables", [](Layer& self) -> Variables& { return self.variables(); },
          py::return_value_policy::reference_internal, "The layer trainable variables.")
      // The layer's own parameter set: the Python object keeps the layer alive.
      .def_property_readonly(
          "parameters", [](const Layer& self) { return self.params(); },
          py::return_value_policy::reference_internal, "The layer parameters set.")
      .def_property_readonly("input_bits", &Layer::input_bits, "The layer input bits.")
      .def_property_readonly("output_signed", &Layer::output_signed, "Whether output is signed or not.")
      .def_property_readonly(
          "inbounds", [](Layer& self) { return self.inbound_layers(); }, "The layer inbound layers.")
      .def_property_readonly("mapping", &Layer::mapping, "The layer hardware mapping.")
      .def_property_readonly("splittable", &Layer::splittable, "The layer is splittable.");
}

}  // namespace ornix::python
