#include "backend/v2/conv2d_recording.h"

#include <cstdint>
#include <stdexcept>

#include "backend/v2/cnp_register_format.h"
#include "backend/v2/cnp_weight_format.h"
#include "backend/v2/cnp_weight_sizes.h"
#include "backend/v2/conv2d_recording_messages.h"
#include "backend/v2/conv2d_register_builder.h"
#include "backend/v2/shift_lut_format.h"
#include "backend/v2/skip_dma_recording.h"

namespace ornix::v2 {
namespace {

using Words = std::vector<uint32_t>;
using Tensor = std::shared_ptr<const Dense>;

// The layer's variable of that name, or null when it has none.
Tensor optional_variable(const Layer& layer, const char* name) {
  const Variables& variables = layer.variables();
  return variables.has(name) ? variables.get(name) : nullptr;
}

// The per-channel tensors of the variable block, in the formatter's order.
struct ChannelVariables {
  explicit ChannelVariables(const Layer& layer)
      : max_value(optional_variable(layer, "max_value")),
        max_value_shift(optional_variable(layer, "max_value_shift")),
        activation_shift(optional_variable(layer, "activation_shift")),
        activation_scales(optional_variable(layer, "activation_scales")),
        output_shift(optional_variable(layer, "output_shift")),
        bias_shift(optional_variable(layer, "bias_shift")),
        bias(optional_variable(layer, "bias")),
        output_scales(optional_variable(layer, "output_scales")) {}

  Words format(uint32_t first, uint32_t count) const {
    return format_cnp_tnp_variables(max_value.get(), max_value_shift.get(), activation_shift.get(),
                                    activation_scales.get(), output_shift.get(), bias_shift.get(), bias.get(),
                                    output_scales.get(), first, count);
  }

  Tensor max_value, max_value_shift, activation_shift, activation_scales, output_shift, bias_shift, bias,
      output_scales;
};

// The merge-layer shift bytes of every channel of the Add the layer follows.
Words merge_shift_words(const MergeLayerMapInfo& merge) {
  const uint32_t channels = merge.a_shift ? merge.a_shift->shape()[0] : 0;
  return format_merge_layer_shift(merge.a_shift, merge.b_shift, merge.output_shift, 0, channels);
}

}  // namespace

std::unique_ptr<program::Record> record_program_conv2d_layer(const Device& device, const Layer& layer,
                                                             std::shared_ptr<Layer> alt_layer, bool ib_spikes,
                                                             bool pr_flag, const std::vector<hw::Ident>& excluded_nps,
                                                             bool registers_only, bool common_flag) {
  if (layer.params()->layer_type() != LayerType::Conv2D) throw std::runtime_error(kMsgInvalidCnpLayerType);
  const LayerMapping& mapping = cnp_layer_mapping(layer);
  const NpRegisterMap blocks = format_conv2d_registers(layer, std::move(alt_layer), ib_spikes, pr_flag, excluded_nps,
                                                       registers_only, common_flag);
  auto record = program::new_record(device.version());
  const Words input_shifts = registers_only ? Words{} : format_input_shift(*layer.variables().get("input_shift"));
  const Tensor weights = layer.variables().get("weights");
  const ChannelVariables variables(layer);
  const auto weights_bits = static_cast<uint8_t>(layer.params()->get("weights_bits"));
  const dma::Target weights_target = conv2d_dma_target(weights->shape()[0], weights_bits);
  const bool lut = layer.activation_is(ActivationType::LUT);
  const Tensor lut_table = lut ? optional_variable(layer, "lut_values") : nullptr;
  const MergeLayerMapInfo* merge = mapping.merge_info.get();
  const bool merge_shifts = merge != nullptr && merge->is_add;

  for (const hw::Component& np : *mapping.nps) {
    const auto block = blocks.find(np.ident);
    if (block == blocks.end()) continue;
    record->add_np_track(np.ident, dma::Target::NpRegisters, 0, block->second);
    if (registers_only) continue;
    // The builder refused NPs without allocation.
    const NpAllocation& share = *np.allocation;
    record->add_np_track(np.ident, weights_target, 0,
                         format_conv2d_cnp_weights(*weights, share.start_neuron, share.filters, weights_bits));
    record->add_np_track(np.ident, dma::Target::InputShifts, 0, input_shifts);
    record->add_np_track(np.ident, dma::Target::ChannelVariables, 0,
                         variables.format(share.start_neuron, share.filters));
    if (lut) record->add_np_track(np.ident, dma::Target::Lut, 0, format_lut_values_for_cnp(lut_table.get()));
    if (merge_shifts) record->add_np_track(np.ident, dma::Target::MergeShifts, 0, merge_shift_words(*merge));
  }
  if (!registers_only) record_skipdma(record.get(), layer);
  return record;
}

}  // namespace ornix::v2
