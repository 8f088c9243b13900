#include "software_sequence.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

#include "format_text.h"
#include "model_inputs.h"
#include "model_run.h"
#include "ornix/layers/dense.h"
#include "run_outputs.h"
#include "software_learning.h"
#include "software_messages.h"
#include "software_stages.h"

namespace ornix {

namespace {

// A sample of any integer input type as an int32 image of the first layer's input shape, whose
// values fit the layer's input bits (signed for an InputData layer with signed inputs).
std::shared_ptr<Dense> sample_image(const Tensor& sample, const LayerImpl& first) {
  const Shape input = first.input_dimensions().at(0);
  auto dense = const_cast<Tensor&>(sample).ensure_dense();
  if (dense->size() != input.element_count()) {
    throw std::invalid_argument(msg::software_sample_shape(dense->size(), input.element_count()));
  }
  switch (dense->type()) {
    case TensorType::uint8:
    case TensorType::int8:
    case TensorType::int16:
    case TensorType::int32:
      break;
    default:
      throw std::invalid_argument(msg::software_sample_type(tensor_type_name(dense->type())));
  }
  check_input_values(*dense, first);
  return software::to_int32(*dense, input);
}

}  // namespace

SoftwareSequence::SoftwareSequence(const std::vector<std::shared_ptr<LayerImpl>>& layers) : layers_(layers) {
  auto pass = std::make_shared<Pass>();
  pass->layers.assign(layers.begin(), layers.end());
  passes_.push_back(std::move(pass));
  for (const auto& layer : layers_) {
    try {
      auto* learner = dynamic_cast<FullyConnected*>(layer.get());
      if (layer == layers_.back() && learner != nullptr && learner->can_learn()) {
        auto step = std::make_unique<software::LearningStep>(*learner, *learner->learning());
        learning_ = step.get();
        steps_.push_back(std::move(step));
      } else {
        steps_.push_back(software::make_software_step(*layer));
      }
    } catch (const std::invalid_argument& error) {
      throw std::invalid_argument(msg::software_layer_failed(layer->name(), error.what()));
    } catch (const std::runtime_error& error) {
      throw std::runtime_error(msg::software_layer_failed(layer->name(), error.what()));
    }
    std::vector<size_t> positions;
    for (const auto& inbound : std::as_const(*layer).inbound_layers()) {
      const auto found = std::find_if(layers_.begin(), layers_.end(), [&](const auto& l) { return l == inbound; });
      positions.push_back(static_cast<size_t>(found - layers_.begin()));
    }
    inbounds_.push_back(std::move(positions));
  }
}

std::vector<std::shared_ptr<Tensor>> SoftwareSequence::forward_samples(
    const std::vector<std::shared_ptr<const Tensor>>& inputs, std::vector<int32_t>* labels) {
  if (labels != nullptr && learning_ == nullptr) throw std::runtime_error(msg::software_cannot_learn(layers_.back()->name()));
  if (labels != nullptr && labels->size() > 1 && labels->size() != inputs.size()) {
    throw std::invalid_argument(msg::label_count(labels->size(), inputs.size()));
  }
  std::vector<std::shared_ptr<Tensor>> outputs;
  outputs.reserve(inputs.size());
  for (size_t i = 0; i < inputs.size(); ++i) {
    const int32_t* label = nullptr;
    if (labels != nullptr && !labels->empty()) label = &(*labels)[labels->size() == 1 ? 0 : i];
    if (learning_ != nullptr) learning_->set_learning(labels != nullptr, label);
    outputs.push_back(run_sample(*inputs[i]));
  }
  if (labels != nullptr) learning_->store();
  return outputs;
}

std::shared_ptr<Dense> SoftwareSequence::run_sample(const Tensor& sample) {
  std::vector<std::shared_ptr<Dense>> values(layers_.size());
  for (size_t i = 0; i < layers_.size(); ++i) {
    const LayerImpl& layer = *layers_[i];
    try {
      std::vector<std::shared_ptr<Dense>> inputs;
      if (inbounds_[i].empty()) inputs.push_back(sample_image(sample, layer));
      for (const size_t position : inbounds_[i]) inputs.push_back(values[position]);
      values[i] = steps_[i]->run(inputs);
      if (!(values[i]->shape() == layer.output_dimensions())) {
        throw std::runtime_error(msg::software_output_shape(shape_text(values[i]->shape()),
                                                            shape_text(layer.output_dimensions())));
      }
    } catch (const std::invalid_argument& error) {
      throw std::invalid_argument(msg::software_layer_failed(layer.name(), error.what()));
    } catch (const std::runtime_error& error) {
      throw std::runtime_error(msg::software_layer_failed(layer.name(), error.what()));
    }
  }
  return run_output(*layers_.back(), *values.back());
}

}  // namespace ornix

namespace ornix {

std::shared_ptr<Dense> run_software(const std::vector<std::shared_ptr<LayerImpl>>& layers, const Dense& inputs,
                                    SoftwareMode mode, std::vector<int32_t> labels) {
  SoftwareSequence sequence(layers);
  const auto frames = inputs.split();
  const std::vector<std::shared_ptr<const Tensor>> samples(frames.begin(), frames.end());
  const auto outputs = sequence.forward_samples(samples, mode == SoftwareMode::Fit ? &labels : nullptr);
  const auto stacked = stack({outputs.begin(), outputs.end()});
  return mode == SoftwareMode::Predict ? predicted_values(*layers.back(), *stacked) : stacked;
}

}  // namespace ornix
