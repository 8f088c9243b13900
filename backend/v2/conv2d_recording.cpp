#include "backend/v2/conv2d_recording.h"

#include <cstdint>
#include <stdexcept>

#include "backend/v2/channel_variables.h"
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
