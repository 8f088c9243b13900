#include <pybind11/pybind11.h>

#include "mapping/hardware_backend_registration.h"
#include "ornix/version.h"
#include "python_text.h"
#include "registration.h"

namespace py = pybind11;
using namespace ornix::python;

// The module body. The order is observable: later registrations name earlier types in their
// signatures, and a failure stops the sequence where it happens.
PYBIND11_MODULE(core, m) {
  ornix::register_hardware_backend();  // models map through this back end from now on
  register_exception_text();
  m.doc() = "Ornix core library";
  const char* engine_version = ornix::version();
  m.attr("__version__") = engine_version ? py::object(py::str(engine_version)) : py::object(py::none());
  register_backend_type(m);
  register_model(m);
  register_layer(m);
  register_layer_params(m);
  register_learning(m);
  register_variables(m);
  register_evaluate_bitwidth(m);
  register_metrics(m);
  register_device(m);
  register_soc_driver(m);
  register_hardware_device(m);
  register_hw_version(m);
  register_np_mesh(m);
  register_np_components(m);
  register_map_constraints(m);
  register_sequences(m);
  register_power(m);

  py::module_ soc = m.def_submodule("soc", "Ornix Vamo specific functions");
  register_clock_mode(soc);
  register_program_memory(m);
  register_nn(m);

  register_ip_version(m);
  register_flash(m);
}
