#include "run_outputs.h"

#include "software_stages.h"

namespace ornix {

std::shared_ptr<Dense> run_output(const Layer& last, const Dense& values) {
  const auto same = std::const_pointer_cast<Dense>(values.shared_from_this());
  if (values.type() == TensorType::float32) return same;
  if (last.output_bits() > 8) return values.type() == TensorType::int32 ? same : software::to_int32(values);
  if (last.output_signed()) return values.type() == TensorType::int8 ? same : software::to_int8(values);
  return values.type() == TensorType::uint8 ? same : software::to_uint8(values);
}

std::shared_ptr<Dense> predicted_values(const Layer& last, const Dense& outputs) {
  if (outputs.type() == TensorType::float32) return std::const_pointer_cast<Dense>(outputs.shared_from_this());
  const std::vector<int64_t> values = software::integer_values(outputs);
  auto out = Dense::create(TensorType::float32, outputs.shape());
  float* result = out->data<float>();
  const auto thresholds = last.has_activation() ? nullptr : software::optional_variable(last, "threshold");
  if (!thresholds) {
    for (size_t i = 0; i < values.size(); ++i) result[i] = static_cast<float>(values[i]);
    return out;
  }
  const std::vector<int64_t> levels = software::integer_values(*thresholds);
  const float* steps = last.variables().get("act_step")->data<float>();
  const size_t channels = levels.size();
  for (size_t i = 0; i < values.size(); ++i) {
    const float step = steps[i % channels];
    result[i] = step == 0.0f ? 0.0f : static_cast<float>(values[i] - levels[i % channels]) * (1.0f / step);
  }
  return out;
}

}  // namespace ornix
