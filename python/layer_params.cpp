#include <pybind11/stl.h>

#include <algorithm>
#include <stdexcept>

#include "layer_messages.h"
#include "ornix/layer_params.h"
#include "ornix/layer_types.h"
#include "param_aliases.h"
#include "python_text.h"
#include "registration.h"

namespace ornix::python {

namespace {

// A plain parameter wins over a composite name written the same way; a composite name reads
// its plain names without testing them, so a missing one fails with the engine's error.
py::object get_param(const LayerParams& params, const std::string& key) {
  const std::vector<std::string> keys = params.keys();
  if (std::find(keys.begin(), keys.end(), key) != keys.end()) return py::int_(params.get(key));
  const auto alias = param_aliases.find(key);
  if (alias == param_aliases.end()) throw std::invalid_argument(msg::key_not_found(key));
  py::list values;
  for (const std::string& plain : alias->second) values.append(params.get(plain));
  return values;
}

constexpr const char* kInitDoc = R"(
        Create a generic LayerParams object.

        Args:
            layer_type (:obj:`LayerType`): Type of layer.
            entries (dict): dictionary of key (string) and value (int) pairs.
    )";

constexpr const char* kGetDoc = R"(
        Retrieve a value from the LayerParams object.

        Args:
            key (str): key of the value.
        Returns:
            int: value associated to the key.
        Raises:
            ValueError: if the value is not present in the LayerParams object.
    )";

constexpr const char* kHasDoc = R"(
        Check if a key is present in the LayerParams object.

        Args:
            key (str): key to be searched.
        Returns:
            bool: True if the key is present, otherwise false.
    )";

void register_layer_enums(py::module_& m) {
  py::enum_<LayerType>(m, "LayerType", "The layer type")
      .value("Unknown", LayerType::Unknown)
      .value("InputData", LayerType::InputData)
      .value("InputConvolutional", LayerType::InputConvolutional)
      .value("FullyConnected", LayerType::FullyConnected)
      .value("Convolutional", LayerType::Convolutional)
      .value("SeparableConvolutional", LayerType::SeparableConvolutional)
      .value("Add", LayerType::Add)
      .value("Concatenate", LayerType::Concatenate)
      .value("Conv2D", LayerType::Conv2D)
      .value("InputConv2D", LayerType::InputConv2D)
      .value("DepthwiseConv2D", LayerType::DepthwiseConv2D)
      .value("Conv2DTranspose", LayerType::Conv2DTranspose)
      .value("ExtractToken", LayerType::ExtractToken)
      .value("Dequantizer", LayerType::Dequantizer)
      .value("DepthwiseConv2DTranspose", LayerType::DepthwiseConv2DTranspose)
      .value("BufferTempConv", LayerType::BufferTempConv)
      .value("DepthwiseBufferTempConv", LayerType::DepthwiseBufferTempConv)
      .value("StatefulRecurrent", LayerType::StatefulRecurrent)
      .value("Dense1D", LayerType::Dense1D)
      .export_values();

  py::enum_<Padding>(m, "Padding",
                     "Sets the effective padding of the input for convolution, thereby determining the output "
                     "dimensions. Naming conventions are the same as Keras/Tensorflow.")
      .value("Valid", Padding::Valid, "No padding")
      .value("Same", Padding::Same, "Padded so that output size is input size divided by the stride")
      .export_values();

  py::enum_<PoolType>(m, "PoolType", "The pooling type")
      .value("NoPooling", PoolType::NoPooling, "No pooling applied")
      .value("Max", PoolType::Max, "Maximum pixel value is selected")
      .value("Average", PoolType::Average, "Average pixel value is selected")
      .export_values();

  py::enum_<ActivationType>(m, "ActivationType", "The activation type")
      .value("NoActivation", ActivationType::NoActivation, "No activation is applied")
      .value("ReLU", ActivationType::ReLU, "ReLU activation is selected")
      .value("LUT", ActivationType::LUT, "LUT activation is selected")
      .export_values();
}

}  // namespace

void register_layer_params(py::module_& m) {
  register_layer_enums(m);
  py::class_<LayerParams, py::smart_holder>(m, "LayerParams", "Parameters dictionary for layers")
      .def(py::init([](LayerType layer_type, const LayerParams::Values& entries) {
             for (const auto& entry : entries) check_name_is_text(entry.first, msg::parameter_name_not_text);
             return LayerParams::create(layer_type, entries);
           }),
           py::arg("layer_type"), py::arg("entries"), kInitDoc)
      .def("get", &get_param, py::arg("key"), kGetDoc)
      .def("__copy__", [](const LayerParams& self) { return LayerParams::clone(&self); })
      .def("__getattr__", &get_param, py::arg("key"))
      .def("__dir__", &LayerParams::keys)
      .def("has", &LayerParams::has, py::arg("key"), kHasDoc)
      .def_property_readonly("layer_type", &LayerParams::layer_type);
}

}  // namespace ornix::python
