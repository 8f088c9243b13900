#include "program/sequence_facts.h"

#include <stdexcept>

#include "ornix/layer_geometry.h"
#include "program/limits.h"
#include "program/messages.h"

namespace ornix {

namespace {

bool is_dequantizer(const Layer& layer) { return layer.params()->layer_type() == LayerType::Dequantizer; }

// A fully connected first layer takes its input as one vector.
Shape sequence_input_shape(const Layer& first) {
  const Shape input = first.input_dimensions().at(0);
  if (first.params()->layer_type() != LayerType::Dense1D) return input;
  return Shape{1, 1, Shape{input[0], input[1], input[2]}.checked_element_count()};
}

}  // namespace

SequenceFacts sequence_facts(const std::vector<std::shared_ptr<Layer>>& layers, const IoRecorder& io_recorder) {
  const Layer& first = *layers.front();
  const Layer& last = *layers.back();
  SequenceFacts facts;
  facts.input_type = io_recorder.get_input_type(first);
  facts.output_type = io_recorder.get_output_type(last, facts.input_type);
  facts.output_bits = is_dequantizer(last) ? last.input_bits() : last.output_bits();
  facts.hrc_input = first.is_target_component(ComponentKind::HRC);
  facts.hrc_only = facts.hrc_input && layers.size() == 1;
  facts.input_shape = sequence_input_shape(first);
  facts.output_shape = last.output_dimensions();
  if (facts.hrc_input) {
    const auto* conv = dynamic_cast<const HasConvParams*>(&first);
    if (conv == nullptr || !conv->conv_params()) {
      throw std::runtime_error(program::hrc_input_without_conv_params(first.name()));
    }
    const auto words = conv->conv_params()->words();
    facts.input_param_1 = words[1];
    facts.input_param_0 = words[0];
  }
  facts.activation = last.has_activation();
  facts.scc_byte_output =
      (is_dequantizer(last) || !facts.activation) && facts.output_bits <= program::kByteOutputBits;
  return facts;
}

OutputScaling output_scaling(const Layer& last) {
  OutputScaling scaling;
  const Variables& variables = last.variables();
  if (is_dequantizer(last)) {
    const std::shared_ptr<const Dense> scales = variables.get(program::kVarScales);
    const uint32_t k = scales->shape()[0];
    const float* values = scales->data<float>();
    scaling.scales.assign(values, values + k);
    scaling.thresholds.assign(k, 0);
  } else if (!last.has_activation() && variables.has(program::kVarThreshold)) {
    const std::shared_ptr<const Dense> thresholds = variables.get(program::kVarThreshold);
    const uint32_t k = thresholds->shape()[0];
    const int32_t* values = thresholds->data<int32_t>();
    scaling.thresholds.assign(values, values + k);
    const std::shared_ptr<const Dense> steps = variables.get(program::kVarActStep);
    const float* step = steps->data<float>();
    if (steps->size() < k) throw std::runtime_error(program::act_step_too_short(last.name(), steps->size(), k));
    for (uint32_t i = 0; i < k; ++i) scaling.scales.push_back(step[i] == 0.0f ? 0.0f : 1.0f / step[i]);
  }
  return scaling;
}

}  // namespace ornix
