#include <pybind11/stl.h>

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "mapping/map_constraints.h"
#include "np_ident_ref.h"
#include "registration.h"

namespace ornix::python {

namespace {

// The object made for a Python subclass: each hook runs the subclass's method of the same name
// when it has one (with the interpreter lock), else the native hook (without it). An override
// that calls the base through super() reaches the native hook, not itself.
class PyMapConstraints final : public MapConstraints, public py::trampoline_self_life_support {
 public:
  using MapConstraints::MapConstraints;

  void next_layer_handler(const std::string& layer_name) const override {
    PYBIND11_OVERRIDE(void, MapConstraints, next_layer_handler, layer_name);
  }

  std::vector<hw::Ident> select_nps(const std::vector<hw::Ident>& source_nps, size_t num_nps,
                                    hw::Type type) const override {
    PYBIND11_OVERRIDE(std::vector<hw::Ident>, MapConstraints, select_nps, source_nps, num_nps, type);
  }
};

constexpr const char* kInitDoc =
    "Obtain hardware constraints from a device.\n\n           Args:\n              device(ornix.device): the device.";
constexpr const char* kNextLayerDoc =
    "\n           Callback on the layer mapping.\n\n           Args:\n             layer_name (str): the layer name";
constexpr const char* kSelectNpsDoc =
    "\n           Selection from a predefined list of NPs.\n\n           Args:\n             source_nps (:obj:`list`): "
    "the predefined list of NPs\n             num_nps (int): the number of NPs needed\n             type "
    "(:obj:`ornix.NP.Type`): the type of NPs\n\n           Returns:\n             :obj:`list`: the selected list of NPs";
constexpr const char* kMaxWidthDefaultDoc =
    "The maximal width to map a CNP.\n\n                             Returns:\n                                int: "
    "the maximal witdh";
constexpr const char* kMaxHeightDefaultDoc =
    "The maximal height to map a CNP.\n\n                             Returns:\n                                int: "
    "the maximal height";
constexpr const char* kMaxFiltersDefaultDoc =
    "The maximal filters number to map a CNP.\n\n                             Returns:\n                         "
    "       int: the maximal height";
constexpr const char* kDeviceDoc =
    "Return the device used.\n\n                             Returns:\n                                "
    ":obj:`ornix.device`: the device.";

}  // namespace

void register_map_constraints(py::module_& m) {
  py::class_<MapConstraints, PyMapConstraints, py::smart_holder>(m, "MapConstraints")
      .def(py::init<const std::shared_ptr<Device>&>(), py::arg("device"), kInitDoc)
      .def("next_layer", &MapConstraints::next_layer_handler, py::arg("layer_name"), kNextLayerDoc)
      .def("select_nps", &MapConstraints::select_nps, py::arg("source_nps"), py::arg("num_nps"), py::arg("type"),
           kSelectNpsDoc)
      .def_property_readonly("cnp_max_width_default", &MapConstraints::cnp_max_width_default, kMaxWidthDefaultDoc)
      .def_property_readonly("cnp_max_height_default", &MapConstraints::cnp_max_height_default,
                             kMaxHeightDefaultDoc)
      .def_property_readonly("cnp_max_filters_default", &MapConstraints::cnp_max_filters_default,
                             kMaxFiltersDefaultDoc)
      .def_property_readonly("device", &MapConstraints::device, kDeviceDoc)
      .def_property("cnp_max_width", &MapConstraints::cnp_max_width, &MapConstraints::set_cnp_max_width,
                    "The width to use to map a CNP.")
      .def_property("cnp_max_height", &MapConstraints::cnp_max_height, &MapConstraints::set_cnp_max_height,
                    "The height to use to map a CNP.")
      .def_property("cnp_max_filters", &MapConstraints::cnp_max_filters, &MapConstraints::set_cnp_max_filters,
                    "The filters number to use to map a CNP.")
      .def_property("hwpr_loopitself", &MapConstraints::hwpr_loopitself, &MapConstraints::set_hwpr_loopitself,
                    "The HWPR NP loopitself feature.");
}

}  // namespace ornix::python
