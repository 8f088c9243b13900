#include "backend/v2/fnp_neuron_parameters.h"

#include <algorithm>
#include <stdexcept>

#include "backend/v2/fnp_recording_messages.h"
#include "backend/v2/fnp_registers.h"

namespace ornix::v2 {

FnpNeuronParameters::FnpNeuronParameters(const Layer& layer) {
  const Variables& variables = layer.variables();
  const auto bias = variables.get("bias");
  const auto bias_shift = variables.get("bias_shift");
  const auto output_scales = variables.get("output_scales");
  const auto output_shift = variables.get("output_shift");
  const bool has_max = variables.has("max_value");
  if (has_max != variables.has("max_value_shift")) {
    throw std::invalid_argument(fnp_half_max_variables_message(layer.name()));
  }
  fields_ = {{bias, true, 0, fnp::BIAS}, {bias_shift, false, 0, fnp::BIAS_SHIFT}};
  if (has_max) {
    fields_.push_back({variables.get("max_value"), false, 0, fnp::MAX_VALUE});
    fields_.push_back({variables.get("max_value_shift"), false, 0, fnp::MAX_VALUE_SHIFT});
  }
  fields_.push_back({output_scales, false, 1, fnp::OUTPUT_SCALES});
  fields_.push_back({output_shift, true, 1, fnp::OUTPUT_SHIFT});
}

void FnpNeuronParameters::check(uint32_t neurons) const {
  if (neurons == 0) return;
  // Neuron 0 meets every type and every empty variable, in field order; past it only the
  // length matters: the shortest variable stops the first neuron it lacks, at the first field
  // of that length.
  for (const Field& field : fields_) {
    if (field.is_signed) {
      field.values->at<int8_t>({0});
    } else {
      field.values->at<uint8_t>({0});
    }
  }
  uint32_t reached = neurons;
  for (const Field& field : fields_) reached = std::min(reached, field.values->shape()[0]);
  if (reached == neurons) return;
  const auto shortest = std::find_if(fields_.begin(), fields_.end(),
                                     [&](const Field& field) { return field.values->shape()[0] == reached; });
  shortest->values->offset_of({reached});
}

void FnpNeuronParameters::write(uint32_t* area, uint32_t n) const {
  // The bytes are read as they lie: the two's-complement code of a signed one.
  for (const Field& field : fields_) set_field(&area[field.word], field.detail, field.values->buffer()[n]);
}

}  // namespace ornix::v2
