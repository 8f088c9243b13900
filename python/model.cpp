#include "model.h"

#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <map>
#include <string>

#include "hardware/hw_type.h"
#include "inference.h"
#include "mapping/layer_mapping.h"
#include "mapping/map_constraints.h"
#include "model_file.h"
#include "model_layers.h"
#include "registration.h"

namespace ornix::python {

namespace {

std::vector<uint32_t> dims_of(const Shape& shape) { return {shape.begin(), shape.end()}; }

// The components a mapped layer holds: its skip-DMA load and store, then its NPs.
template <typename Visit>
void for_each_component(const Layer& layer, Visit visit) {
  const std::shared_ptr<LayerMapping> mapping = layer_mapping_of(layer);
  if (!mapping) return;
  if (const hw::Component* load = mapping->skipdma_load()) visit(*load);
  if (const hw::Component* store = mapping->skipdma_store()) visit(*store);
  if (mapping->nps) {
    for (const hw::Component& component : *mapping->nps) visit(component);
  }
}

std::map<hw::Type, int> component_count(const PyModel& self) {
  std::map<hw::Type, int> counts;
  for (const auto& layer : self.model->layers()) {
    for_each_component(*layer, [&](const hw::Component& component) { ++counts[component.type]; });
  }
  return counts;
}

// Bytes; the sum wraps at 2^32.
uint32_t external_memory_size(const PyModel& self) {
  uint32_t size = 0;
  for (const auto& sequence : self.model->sequences()) {
    for (const auto& pass : sequence->passes()) {
      for (const auto& layer : pass->layers) {
        for_each_component(*layer, [&](const hw::Component& component) { size += component.mem_info.external_size; });
      }
    }
  }
  return size;
}

py::bytes to_buffer(const PyModel& self) {
  const std::vector<uint8_t> bytes = self.model->to_buffer();
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}


constexpr const char* kModelDoc = R"(
    An Ornix neural model, represented as a hierarchy of layers.

    A model can be created empty and filled with the sequential API (``add``), reloaded from a
    serialized file or a memory buffer, or created from a list of layers taken from an existing
    model.

    Input and output shapes have 4 dimensions, the first being the number of samples. Inputs are
    uint8 tensors holding 1, 2, 4 or 8-bit values (max 1, 3, 15 or 255); with 8-bit inputs the
    first layer must be convolutional with 1 or 3 input channels. The output is int8 or uint8
    when the last layer has activations, and int32 otherwise.

    Args:
        filename (str): path of a serialized model (.fbz file).
        layers (list): layers of an existing model; when the first is not an input layer, it
            will be added automatically.
    )";

constexpr const char* kInputsDoc = R"(
        A non-array input raises TypeError; an input of the wrong shape or format raises
        ValueError.
)";

const std::string kForwardDoc = std::string(R"(Forwards a set of inputs through the model.

        Args:
            inputs (numpy.ndarray): a (n, x, y, c) uint8 (or int8, int16 for signed inputs) array.
            batch_size (int): maximum number of inputs processed at a time (0: the engine chooses).

        Returns:
            numpy.ndarray: a (n, out_x, out_y, out_c) uint8, int8 or int32 array.
)") + kInputsDoc;

const std::string kPredictDoc = std::string(R"(Predicts a set of inputs through the model.

        The float result is obtained from the model's discrete potentials by a shift and a scale;
        it applies only to models without an activation on the last layer (RuntimeError
        otherwise).

        Args:
            inputs (numpy.ndarray): a (n, x, y, c) uint8 (or int8, int16 for signed inputs) array.
            batch_size (int): maximum number of inputs processed at a time (0: the engine chooses).

        Returns:
            numpy.ndarray: a (n, out_x, out_y, out_c) float array.
)") + kInputsDoc;

const std::string kFitDoc = std::string(R"(Trains a set of images or events through the model.

        Args:
            inputs (numpy.ndarray): a (n, x, y, c) uint8 (or int8, int16 for signed inputs) array.
            input_labels (float, numpy.ndarray or list of ints): one label for all inputs, or one
                per input; an input whose label exceeds the number of classes is discarded.
            batch_size (int): maximum number of inputs processed at a time (0: the engine chooses).

        Returns:
            numpy.ndarray: the outputs of the model.
)") + kInputsDoc;

const std::string kEvaluateDoc = std::string(R"(Returns the model class accuracy.

        Args:
            inputs (numpy.ndarray): a (n, x, y, c) uint8 (or int8, int16 for signed inputs) array.
            labels (numpy.ndarray): one int32 label per input.
            num_classes (int): number of classes (default: the number of neurons of the last layer).
            batch_size (int): maximum number of inputs processed at a time (0: the engine chooses).

        Returns:
            float: the share of inputs whose predicted class is their label.
)") + kInputsDoc;

constexpr const char* kGetLayerDoc = R"(Get a reference to a specific layer.

        Args:
            layer_name (str) or layer_index (int): the name or the index of the layer.

        Returns:
            Layer: the layer.
)";

}  // namespace

void register_model(py::module_& m) {
  using Layers = std::vector<std::shared_ptr<Layer>>;
  py::class_<PyModel, py::smart_holder>(m, "Model", kModelDoc)
      .def(py::init([](const std::string& filename) { return PyModel{load_model_file(filename), {}, {}}; }),
           py::arg("filename"),
           "Reload a full ``Model`` from a serialized file.\n\n        Args:\n            filename (str): "
           "path of the serialized model (.fbz file).\n")
      .def(py::init([](const Layers& layers) { return PyModel{model_from_layers(layers), {}, {}}; }),
           py::arg("layers") = Layers{})
      .def(
          "add", [](PyModel& self, const std::shared_ptr<Layer>& layer, const Layers& inbounds) {
            self.model->add(layer, inbounds);
          },
          py::arg("layer"), py::arg("inbound_layers") = Layers{},
          "Add a layer to the current model.\n\n        The inbound layers must already be in the model. When "
          "none is given and the layer is not the first,\n        the last included layer is used as inbound "
          "layer.\n")
      .def(
          "add_classes", [](PyModel& self, int32_t count) { add_classes(*self.model, count); },
          py::arg("num_add_classes"),
          "Adds new neurons (classes) to the last layer, keeping the previously learned ones.\n\n        Raises "
          "RuntimeError if the last layer is not compiled.\n")
      .def(
          "_map",
          [](PyModel& self, std::shared_ptr<Device> device, bool hw_only, std::shared_ptr<MapConstraints> constraints) {
            self.model->map(std::move(device), hw_only, std::move(constraints));
          },
          py::arg("device"), py::arg("hw_only") = false, py::arg("constraints") = py::none(),
          "Map the model onto a Device.")
      .def(
          "pop_layer", [](PyModel& self) { self.model->pop_layer(); }, "Remove the last layer of the current model.")
      .def(
          "compile",
          [](PyModel& self, const std::shared_ptr<LearningParams>& optimizer) { self.model->compile(optimizer); },
          py::arg("optimizer"), "Select and prepare the optimizer for learning of the last layer.")
      .def(
          "fit",
          [](PyModel& self, const py::array& inputs, float label, uint32_t batch_size) {
            return fit(self, inputs, labels_from_float(label), batch_size);
          },
          py::arg("inputs"), py::arg("input_labels"), py::arg("batch_size") = 0, kFitDoc.c_str())
      .def(
          "fit",
          [](PyModel& self, const py::array& inputs, const py::array& labels, uint32_t batch_size) {
            return fit(self, inputs, labels_from_array(labels), batch_size);
          },
          py::arg("inputs"), py::arg("input_labels"), py::arg("batch_size") = 0, kFitDoc.c_str())
      .def(
          "fit",
          [](PyModel& self, const py::array& inputs, const py::list& labels, uint32_t batch_size) {
            return fit(self, inputs, labels_from_list(labels), batch_size);
          },
          py::arg("inputs"), py::arg("input_labels") = py::list(), py::arg("batch_size") = 0, kFitDoc.c_str())
      .def("forward", &forward, py::arg("inputs"), py::arg("batch_size") = 0, kForwardDoc.c_str())
      .def("predict", &predict, py::arg("inputs"), py::arg("batch_size") = 0, kPredictDoc.c_str())
      .def(
          "get_layer", [](const PyModel& self, const std::string& name) { return self.model->get_layer(name); },
          py::arg("layer_name"), kGetLayerDoc)
      .def(
          "get_layer", [](const PyModel& self, int index) { return self.model->get_layer(index); },
          py::arg("layer_index"), kGetLayerDoc)
      .def("evaluate", &evaluate, py::arg("inputs"), py::arg("labels"), py::arg("num_classes") = 0,
           py::arg("batch_size") = 0, kEvaluateDoc.c_str())
      .def(
          "save", [](const PyModel& self, const std::string& path) { save_model_file(*self.model, path); },
          py::arg("model_file"),
          "Save the model to a file.\n\n        Args:\n            model_file (str): full path of the serialized "
          "model (.fbz file).\n")
      .def("to_buffer", &to_buffer, "Serializes all layers and weights to a bytes buffer.")
      .def_property_readonly(
          "sequences", [](const PyModel& self) { return self.model->sequences(); },
          "The list of layer sequences in the Model")
      .def_property_readonly(
          "layers", [](const PyModel& self) { return self.model->layers(); }, "Get a list of layers in current model.")
      .def_property_readonly(
          "learning",
          [](const PyModel& self) {
            const auto learning = self.model->learning();
            return learning ? py::cast(learning) : py::none();
          },
          "The learning parameters set.")
      .def_property_readonly(
          "input_shape", [](const PyModel& self) { return dims_of(self.model->input_shape()); },
          "The model input dimensions.")
      .def_property_readonly(
          "output_shape", [](const PyModel& self) { return dims_of(self.model->output_shape()); },
          "The model output dimensions.")
      .def_property_readonly(
          "metrics", [](PyModel& self) -> PyMetrics& { return self.metrics; }, py::return_value_policy::reference_internal,
          "The model metrics.")
      .def_property_readonly(
          "ip_version", [](const PyModel& self) { return self.model->ip_version(); },
          "The IP version this model is compatible with.")
      .def_property_readonly(
          "device", [](const PyModel& self) { return self.model->device(); }, "The Device the Model is mapped to.")
      .def_property_readonly(
          "layer_count", [](const PyModel& self) { return self.model->layer_count(); }, "The number of layers.")
      .def_property_readonly("component_count", &component_count,
                             "A dictionary with the number of components per type used in the model.")
      .def_property_readonly("external_memory_size", &external_memory_size,
                             "Returns model external memory usage in Bytes.")
      .def_property_readonly(
          "macs", [](const PyModel& self) { return self.model->macs(); },
          "Returns model number of multiply-accumulate operations.")
      .def_property_readonly(
          "power_events", [](const PyModel& self) { return self.power_events; },
          "Copy of power events logged after inference");
}

}  // namespace ornix::python
