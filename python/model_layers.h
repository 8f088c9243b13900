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

// Widens the compiled FullyConnected last layer by `count` classes where it stands (after its own
// inbound layers), keeping the weights and the other variables it learned; the added neurons
// start as the engine's compile leaves them. Every refusal comes before the model changes, and a
// failure after that puts the old layer back as it was: the model never loses its classifier.
void add_classes(Model& model, int32_t count);

}  // namespace ornix::python
