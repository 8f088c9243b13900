#pragma once

#include <memory>
#include <vector>

#include "ornix/layer.h"
#include "ornix/model.h"

namespace ornix::python {

// A new model holding copies of `layers` (parameters, names, links by name, variables and the
// learning of a compiled layer), led by an "InputData" layer when the first is not an input
// layer. std::runtime_error "Invalid layer received" for a null entry, before anything is built.
std::unique_ptr<Model> model_from_layers(const std::vector<std::shared_ptr<Layer>>& layers);

// Widens the compiled FullyConnected last layer by `count` classes, keeping the weights and the
// other variables it learned; the added neurons start as the engine's compile leaves them. A
// grown layer the engine refuses leaves the model as it was.
void add_classes(Model& model, int32_t count);

}  // namespace ornix::python
