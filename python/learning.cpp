#include <pybind11/stl.h>

#include <cstdint>
#include <memory>
#include <string>

#include "ornix/learning_params.h"
#include "registration.h"

namespace ornix::python {

namespace {

constexpr const char* kGetDoc = R"(
        Retrieve a value from the LearningParams object.

        Args:
            key (str): key of the value.
        Returns:
            int: value associated to the key.
        Raises:
            ValueError: if the value is not present in the LearningParams object.
    )";

constexpr const char* kOrnixUnsupervisedDoc = R"(
   Prepare the Ornix Unsupervised optimizer for learning of the last layer.

   Args:
       num_weights (int): number of connections for each neuron.
       num_classes (int, optional): number of classes when running in a
           'labeled mode'.
       initial_plasticity (float, optional): defines how easily the weights
           will change when learning occurs.
       learning_competition (float, optional): controls competition between
           neurons.
       min_plasticity (float, optional): defines the minimum level to which
           plasticity will decay.
       plasticity_decay (float, optional): defines the decay of plasticity
           with each learning step.
       optimizer(:obj:`ornix.LearningParams`): the optimizer used for
           learning
   )";

// 0.1 in single precision, widened.
constexpr double kMinPlasticityDefault = static_cast<double>(0.1f);

std::shared_ptr<LearningParams> ornix_unsupervised(uint32_t num_weights, uint32_t num_classes,
                                                   double initial_plasticity, double learning_competition,
                                                   double min_plasticity, double plasticity_decay) {
  return LearningParams::create(LearningType::Unsupervised, {{"num_weights", num_weights},
                                                             {"num_classes", num_classes},
                                                             {"initial_plasticity", initial_plasticity},
                                                             {"learning_competition", learning_competition},
                                                             {"min_plasticity", min_plasticity},
                                                             {"plasticity_decay", plasticity_decay}});
}

}  // namespace

void register_learning(py::module_& m) {
  py::class_<LearningParams, py::smart_holder>(m, "Optimizer", "Optimizer generic parameters")
      .def("get", &LearningParams::get, py::arg("key"), kGetDoc)
      .def("__copy__", [](const LearningParams& self) { return LearningParams::clone(&self); })
      .def("__getattr__", &LearningParams::get, py::arg("key"))
      .def("__dir__", &LearningParams::keys)
      // The learning rule's number (0: the unsupervised rule); no Python type stands for it.
      .def_property_readonly("learning_type",
                             [](const LearningParams& self) { return static_cast<uint32_t>(self.learning_type()); });

  m.def("OrnixUnsupervised", &ornix_unsupervised, py::arg("num_weights"), py::arg("num_classes") = 1,
        py::arg("initial_plasticity") = 1.0, py::arg("learning_competition") = 0.0,
        py::arg("min_plasticity") = kMinPlasticityDefault, py::arg("plasticity_decay") = 0.25, kOrnixUnsupervisedDoc);
}

}  // namespace ornix::python
