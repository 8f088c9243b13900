#include "metrics.h"

#include <pybind11/stl.h>

#include <stdexcept>
#include <vector>

#include "conversion_messages.h"
#include "registration.h"

namespace ornix::python {

void register_metrics(py::module_& m) {
  py::class_<PyMetrics, py::smart_holder>(m, "Metrics",
                                          "\n      A set of 64-bit integer metrics indexed by name.\n      ")
      .def_property_readonly(
          "names",
          [](const PyMetrics& metrics) {
            std::vector<std::string> names;
            names.reserve(metrics.values.size());
            for (const auto& entry : metrics.values) names.push_back(entry.first);
            return names;
          },
          "The list of metrics names")
      .def("__getitem__", [](const PyMetrics& metrics, const std::string& name) {
        const auto found = metrics.values.find(name);
        if (found == metrics.values.end()) throw std::invalid_argument(msg::no_such_metrics(name));
        return found->second;
      });
}

}  // namespace ornix::python
