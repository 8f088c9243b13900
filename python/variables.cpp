#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <stdexcept>

#include "array_conversion.h"
#include "conversion_messages.h"
#include "ornix/variables.h"
#include "registration.h"

namespace ornix::python {

namespace {

// Checked before anything is converted or stored: a refused value leaves the variable as it was.
void set_variable(Variables& variables, const std::string& name, const py::array& value) {
  const TensorType type = variables.get(name)->type();
  const py::dtype received = value.dtype();
  const StorageConversion* storage = storage_conversion(type);
  if (storage == nullptr) throw std::invalid_argument(msg::unsupported_variable_type(name, py::str(received)));
  if (!received.equal(py::dtype(storage->dtype))) {
    throw std::invalid_argument(msg::unsupported_variable_type(name, storage->dtype, py::str(received)));
  }
  variables.set(name, storage->to_dense(value, type));
}

int evaluate_array_bitwidth(const py::array& variable) {
  const py::dtype dtype = variable.dtype();
  if (dtype.equal(py::dtype::of<float>())) return 0;
  for (const TensorType type : {TensorType::int32, TensorType::int16, TensorType::int8, TensorType::uint8}) {
    const StorageConversion* storage = storage_conversion(type);
    if (dtype.equal(py::dtype(storage->dtype))) return evaluate_bitwidth(*storage->to_dense(variable, type));
  }
  throw std::runtime_error(msg::kBitwidthArrayType);
}

}  // namespace

void register_variables(py::module_& m) {
  py::class_<Variables, py::smart_holder>(m, "Variables")
      .def_property_readonly("names", &Variables::names)
      .def("__getitem__",
           [](const Variables& variables, const std::string& name) { return tensor_to_numpy(variables.get(name)); })
      .def("__setitem__", &set_variable);
}

void register_evaluate_bitwidth(py::module_& m) {
  m.def("evaluate_bitwidth", &evaluate_array_bitwidth, py::arg("variable"),
        "\n   Evalutate the maximum bitwidth that the values of the variable take.\n\n   Args:\n       variable "
        "(:obj:`numpy.ndarray`): The variable on which the bitwidth is evaluated.\n   ");
}

}  // namespace ornix::python
