#include "backend/v2/hrc_sram_words.h"

#include <memory>

#include "backend/v2/channel_variables.h"
#include "backend/v2/shift_lut_format.h"

namespace ornix::v2 {

namespace {

using DensePtr = std::shared_ptr<const Dense>;

}  // namespace

HrcWeightWords hrc_weight_words(const Layer& layer) {
  const DensePtr weights = layer.variables().get("weights");
  return format_hrc_weights(*weights);
}

std::vector<uint32_t> hrc_activation_words(const Layer& layer) {
  const Variables& vars = layer.variables();
  const DensePtr output_shift = vars.get("output_shift");
  const DensePtr output_scales = vars.get("output_scales");
  const DensePtr max_value_shift = optional_variable(layer, "max_value_shift");
  const DensePtr max_value = optional_variable(layer, "max_value");
  const DensePtr bias_shift = vars.get("bias_shift");
  const DensePtr bias = vars.get("bias");
  return format_hrc_activations(*output_shift, *output_scales, max_value_shift.get(), max_value.get(), *bias_shift,
                                *bias);
}

std::vector<uint32_t> hrc_lut_activation_words(const Layer& layer) {
  const Variables& vars = layer.variables();
  const DensePtr output_scales = vars.get("output_scales");
  const DensePtr bias = vars.get("bias");
  const DensePtr bias_shift = vars.get("bias_shift");
  const DensePtr output_shift = vars.get("output_shift");
  const DensePtr activation_shift = vars.get("activation_shift");
  const DensePtr activation_scales = vars.get("activation_scales");
  return format_hrc_lut_variables(*output_scales, *bias, *bias_shift, *output_shift, *activation_shift,
                                  *activation_scales);
}

std::vector<uint32_t> hrc_lut_words(const Layer& layer) {
  return format_lut_values_for_hrc(optional_variable(layer, "lut_values").get());
}

}  // namespace ornix::v2
