#pragma once

#include <pybind11/pybind11.h>

namespace ornix::python {

namespace py = pybind11;

// One function per bound family; module.cpp calls them in the module's registration order.
void register_backend_type(py::module_& m);
void register_model(py::module_& m);
void register_layer(py::module_& m);         // Layer and Layer.Mapping
void register_layer_params(py::module_& m);  // the layer enums, then LayerParams
void register_learning(py::module_& m);  // Optimizer and OrnixUnsupervised
void register_variables(py::module_& m);
void register_evaluate_bitwidth(py::module_& m);
void register_metrics(py::module_& m);
void register_device(py::module_& m);
void register_soc_driver(py::module_& m);
void register_hardware_device(py::module_& m);  // HardwareDevice and devices()
void register_hw_version(py::module_& m);
void register_np_mesh(py::module_& m);        // NP: SramSize and its constants, Mesh
void register_np_components(py::module_& m);  // NP: Ident, Type, Info, NpSpace, MemoryInfo, Component
void register_map_constraints(py::module_& m);
void register_sequences(py::module_& m);  // ProgramParts, Sequence, Pass
void register_power(py::module_& m);      // PowerEvent, PowerMeter
void register_clock_mode(py::module_& soc);
void register_program_memory(py::module_& m);  // ProgramMemoryRequired, get_program_memory_infos
void register_nn(py::module_& m);              // creates the nn submodule
void register_ip_version(py::module_& m);
void register_flash(py::module_& m);  // the boardKpl2200 submodule

}  // namespace ornix::python
