#pragma once

#include <pybind11/pybind11.h>

#include <cstdint>
#include <string>
#include <unordered_map>

namespace ornix::python {

// The figures that programming and inference record by name ("inference_frames",
// "inference_clk", "program_clk" ...), handed to Python as a read-only Metrics object.
struct PyMetrics {
  std::unordered_map<std::string, int64_t> values;
};

}  // namespace ornix::python
