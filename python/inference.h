#pragma once

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "model.h"

namespace ornix::python {

namespace py = pybind11;

// Model inference from NumPy inputs: uint8 arrays for models of unsigned inputs, int8 or int16
// arrays for models of signed inputs (std::invalid_argument otherwise, before anything runs).
// Each run records "inference_start", "inference_end" and "inference_frames" in the model's
// metrics; on a hardware device also "inference_clk" and "program_clk", and the power events of
// the device's power meter.
py::array forward(PyModel& self, const py::array& inputs, uint32_t batch_size);
py::array predict(PyModel& self, const py::array& inputs, uint32_t batch_size);
py::array fit(PyModel& self, const py::array& inputs, std::vector<int32_t> labels, uint32_t batch_size);

// Label conversions of fit: a whole float, an array of an integer dtype, a list of ints.
// py::type_error "fit method expects integers as labels" otherwise.
std::vector<int32_t> labels_from_float(float label);
std::vector<int32_t> labels_from_array(const py::array& labels);
std::vector<int32_t> labels_from_list(const py::list& labels);

// The share of samples whose predicted class is their label (int32, one per sample). The class
// of a sample is the group of output neurons holding its largest value; num_classes 0 means one
// class per output channel.
float evaluate(PyModel& self, const py::array& inputs, const py::array& labels, int64_t num_classes,
               uint32_t batch_size);

}  // namespace ornix::python
