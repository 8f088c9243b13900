#include "model_layers.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "model_messages.h"
#include "ornix/layers/dense.h"

namespace ornix::python {

namespace {

// The input layer that feeds `first` in its own model, rebuilt from its input geometry.
std::shared_ptr<Layer> input_layer_for(const Layer& first) {
  const Shape input = first.input_dimensions().front();
  const auto inbounds = first.inbound_layers();
  const bool signed_input = !inbounds.empty() && inbounds.front()->output_signed() && first.input_bits() == 8;
  const auto params = LayerParams::create(LayerType::InputData, {{"input_width", int32_t(input[0])},
                                                                 {"input_height", int32_t(input[1])},
                                                                 {"input_channels", int32_t(input[2])},
                                                                 {"input_bits", first.input_bits()},
                                                                 {"input_signed", signed_input ? 1 : 0}});
  return Layer::create(params.get(), "InputData");
}

std::shared_ptr<LearningParams> learning_of(const Layer& layer) {
  const auto* dense = dynamic_cast<const FullyConnected*>(&layer);
  return LearningParams::clone(dense ? dense->learning() : nullptr);
}

// A writable copy of `tensor`.
std::shared_ptr<Dense> copy_of(const Dense& tensor) {
  return Dense::copy(tensor.buffer(), tensor.byte_size(), tensor.type(), tensor.shape(), tensor.layout());
}

// Weights (neurons, inputs) with neurons contiguous: each input's run of old neurons moves to the
// start of its longer run in the new tensor.
void copy_weights(const Dense& old_weights, Dense& new_weights) {
  const auto old_strides = Dense::eval_strides(old_weights.shape(), old_weights.layout());
  const auto new_strides = Dense::eval_strides(new_weights.shape(), new_weights.layout());
  const int8_t* from = old_weights.data<int8_t>();
  int8_t* to = new_weights.data<int8_t>();
  for (uint32_t input = 0; input < old_weights.shape()[1]; ++input) {
    std::memcpy(to + input * new_strides[1], from + input * old_strides[1], old_weights.shape()[0]);
  }
}

// The old layer's variables over the beginning of the grown layer's, name by name.
void copy_variables(const Layer& old_layer, Layer& new_layer) {
  for (const std::string& name : old_layer.variables().names()) {
    const auto old_tensor = old_layer.variables().get(name);
    const auto tensor = copy_of(*new_layer.variables().get(name));
    if (name == "weights") {
      copy_weights(*old_tensor, *tensor);
    } else {
      std::memcpy(tensor->buffer(), old_tensor->buffer(), std::min(old_tensor->byte_size(), tensor->byte_size()));
    }
    new_layer.variables().set(name, tensor);
  }
}

using VariableSet = std::vector<std::pair<std::string, std::shared_ptr<const Dense>>>;

VariableSet variables_of(const Layer& layer) {
  VariableSet variables;
  for (const std::string& name : layer.variables().names()) variables.emplace_back(name, layer.variables().get(name));
  return variables;
}

void set_variables(Layer& layer, const VariableSet& variables) {
  for (const auto& [name, tensor] : variables) layer.variables().set(name, tensor);
}

// Grows `old_layer` into `grown` (built, compiled with `learning`, the old neurons' variables
// copied over) in a model of its own, fed by an input of the old layer's geometry: whatever the
// engine refuses (a layer too large, learning values) it refuses before the model the layer is
// meant for changes. The grown layer keeps what was built there; the variables it ends with are
// returned.
VariableSet grow_aside(const Layer& old_layer, const std::shared_ptr<Layer>& grown,
                       const std::shared_ptr<LearningParams>& learning) {
  const auto model = Model::create();
  model->add(input_layer_for(old_layer));
  model->add(grown);
  model->compile(learning);
  copy_variables(old_layer, *grown);
  model->pop_layer();
  return variables_of(*grown);
}

// The last layer before add_classes, and how to put it back.
struct LastLayer {
  std::shared_ptr<Layer> layer;
  std::vector<std::shared_ptr<Layer>> inbounds;
  std::shared_ptr<LearningParams> learning;
  VariableSet variables;

  // After a failure once the layer was popped: `grown` leaves the model if it joined it, and the
  // layer returns after its inbound layers, compiled as it was and holding its own variables.
  void put_back(Model& model, const Layer& grown) const {
    if (model.get_layer(int(model.layer_count() - 1)).get() == &grown) model.pop_layer();
    model.add(layer, inbounds);
    model.compile(learning);
    set_variables(*layer, variables);
  }
};

}  // namespace

std::unique_ptr<Model> model_from_layers(const std::vector<std::shared_ptr<Layer>>& layers) {
  auto model = Model::create();
  if (layers.empty()) return model;
  for (const auto& layer : layers) {
    if (!layer) throw std::runtime_error(msg::kInvalidLayer);
  }
  if (!layers.front()->is_input()) {
    // A layer that never joined a model has no input geometry to rebuild an input layer from.
    try {
      model->add(input_layer_for(*layers.front()));
    } catch (const std::runtime_error& error) {
      throw std::runtime_error(msg::cannot_copy_layer(layers.front()->name(), error.what()));
    }
  }
  for (size_t i = 0; i < layers.size(); ++i) {
    const Layer& source = *layers[i];
    auto copy = Layer::create(source.params(), source.name());
    std::vector<std::shared_ptr<Layer>> inbounds;
    if (i > 0) {
      for (const auto& inbound : source.inbound_layers()) inbounds.push_back(model->get_layer(inbound->name()));
    }
    model->add(copy, inbounds);
    if (source.is_learning()) model->compile(learning_of(source));
    set_variables(*copy, variables_of(source));
  }
  return model;
}

void add_classes(Model& model, int32_t count) {
  if (count < 1) throw std::invalid_argument(msg::kClassesNotPositive);
  if (model.layer_count() == 0) throw std::runtime_error(msg::kNoLayer);
  const auto old_layer = model.get_layer(int(model.layer_count() - 1));
  const LayerParams& params = *old_layer->params();
  if (params.layer_type() != LayerType::FullyConnected) throw std::runtime_error(msg::kLastNotFullyConnected);
  const auto learning = model.learning();
  if (!learning || !old_layer->is_learning()) throw std::runtime_error(msg::kLastNotCompiled);

  LearningParams::Values values;
  for (const std::string& key : learning->keys()) values[key] = learning->get(key);
  const int32_t units = params.get("units");
  const double num_classes = values.at("num_classes");
  const int64_t new_units = units + int64_t(int32_t(units / num_classes)) * count;
  if (new_units > std::numeric_limits<int32_t>::max()) throw std::invalid_argument(msg::kTooManyClasses);
  values["num_classes"] = num_classes + count;
  const auto new_learning = LearningParams::create(learning->learning_type(), values);
  const auto new_params =
      LayerParams::create(LayerType::FullyConnected, {{"units", int32_t(new_units)},
                                                      {"weights_bits", params.get("weights_bits")},
                                                      {"activation", params.get("activation")},
                                                      {"act_bits", params.get("act_bits")}});
  const auto new_layer = Layer::create(new_params.get(), old_layer->name());
  const VariableSet grown = grow_aside(*old_layer, new_layer, new_learning);

  const LastLayer last{old_layer, old_layer->inbound_layers(), learning, variables_of(*old_layer)};
  model.pop_layer();
  try {
    model.add(new_layer, last.inbounds);
    model.compile(new_learning);
    set_variables(*new_layer, grown);  // the old neurons as they were, even those compile connects
  } catch (...) {
    last.put_back(model, *new_layer);
    throw;
  }
}

}  // namespace ornix::python
