#pragma once

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cstdint>
#include <vector>

#include "hardware_device.h"

namespace ornix::python {

namespace py = pybind11;

enum class RunMode : uint8_t { Fit, Forward, Predict };

// Runs `inputs` (2 or 4 dimensions, cast to uint8) on the device's current program, records the
// run's metrics and, when the device measures power, its power events, and stacks the outputs
// into one array of shape (outputs, d0, d1, d2). Labels are used by Fit only.
py::array process_inputs(PyHardwareDevice& self, const py::handle& inputs, const std::vector<int32_t>& labels,
                         RunMode mode);

// fit (three label overloads), forward and predict.
void register_device_inference(py::class_<PyHardwareDevice, Device, py::smart_holder>& device);

}  // namespace ornix::python
