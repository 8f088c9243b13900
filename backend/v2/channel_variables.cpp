#include "backend/v2/channel_variables.h"

#include "backend/v2/cnp_register_format.h"

namespace ornix::v2 {

std::shared_ptr<const Dense> optional_variable(const Layer& layer, const char* name) {
  const Variables& variables = layer.variables();
  return variables.has(name) ? variables.get(name) : nullptr;
}

ChannelVariables::ChannelVariables(const Layer& layer)
    : max_value(optional_variable(layer, "max_value")),
      max_value_shift(optional_variable(layer, "max_value_shift")),
      activation_shift(optional_variable(layer, "activation_shift")),
      activation_scales(optional_variable(layer, "activation_scales")),
      output_shift(optional_variable(layer, "output_shift")),
      bias_shift(optional_variable(layer, "bias_shift")),
      bias(optional_variable(layer, "bias")),
      output_scales(optional_variable(layer, "output_scales")) {}

std::vector<uint32_t> ChannelVariables::format(uint32_t first, uint32_t count) const {
  return format_cnp_tnp_variables(max_value.get(), max_value_shift.get(), activation_shift.get(),
                                  activation_scales.get(), output_shift.get(), bias_shift.get(), bias.get(),
                                  output_scales.get(), first, count);
}

void ChannelVariables::write(uint32_t first, uint32_t count, std::span<uint32_t> words) const {
  write_cnp_tnp_variables(max_value.get(), max_value_shift.get(), activation_shift.get(), activation_scales.get(),
                          output_shift.get(), bias_shift.get(), bias.get(), output_scales.get(), first, count, words);
}

size_t ChannelVariables::words(uint32_t count) { return cnp_tnp_variable_words(count); }

}  // namespace ornix::v2
