#include "backend/v2/tnp_b_recording.h"

#include <cstdint>
#include <span>
#include <stdexcept>
#include <utility>
#include <vector>

#include "backend/v2/channel_variables.h"
#include "backend/v2/shift_lut_format.h"
#include "backend/v2/skip_dma_recording.h"
#include "backend/v2/tnp_b_recording_messages.h"
#include "backend/v2/tnp_b_register_builder.h"
#include "backend/v2/tnp_b_weight_format.h"
#include "program/planned_blocks.h"

namespace ornix::v2 {
namespace {

using Words = std::vector<uint32_t>;

// The payloads every NP of the layer shares, read once.
struct TemporalPayloads {
  std::shared_ptr<const Dense> weights;
  std::shared_ptr<const Dense> input_shift;
  Words layer_shifts;  // BufferTempConv: the whole layer's input shifts
  uint32_t fifo_size = 0;
};

std::unique_ptr<program::Record> record_tnp_b_layer(LayerType type, const Device& device, const Layer& layer,
                                                    std::shared_ptr<Layer> alt_layer, bool ib_spikes, bool pr_flag,
                                                    const std::vector<hw::Ident>& excluded_nps, bool registers_only,
                                                    bool common_flag) {
  if (layer.params()->layer_type() != type) throw std::runtime_error(kMsgInvalidTnpBLayerType);
  const bool depthwise = type == LayerType::DepthwiseBufferTempConv;
  const LayerMapping& mapping = cnp_layer_mapping(layer);
  const auto builder = depthwise ? format_depthwise_buffer_temp_conv_registers : format_buffer_temp_conv_registers;
  const NpRegisterMap blocks =
      builder(layer, std::move(alt_layer), ib_spikes, pr_flag, excluded_nps, registers_only, common_flag);
  auto record = program::new_record(device.version());

  // Every block of the layer is formatted or sized first, so that each track is sized once.
  std::vector<program::PlannedBlock> planned;
  SkipDmaBlocks skip_dma;
  TemporalPayloads payloads;
  if (!registers_only) {
    skip_dma = skipdma_blocks(layer);
    skip_dma.plan(&planned);
    payloads.input_shift = layer.variables().get("input_shift");
    if (!depthwise) payloads.layer_shifts = format_input_shift(*payloads.input_shift);
    payloads.weights = layer.variables().get("weights");
    payloads.fifo_size = static_cast<uint32_t>(param_of(layer, "fifo_size"));
  }
  const ChannelVariables variables(layer);
  std::vector<Words> np_shifts;  // depthwise: each NP's channels' input shifts
  np_shifts.reserve(mapping.nps->size());

  for (const hw::Component& np : *mapping.nps) {
    const auto block = blocks.find(np.ident);
    if (block == blocks.end()) continue;
    planned.push_back({np.ident, dma::Target::NpRegisters, 0, block->second.size(), &block->second, {}});
    if (registers_only) continue;
    // The builder refused NPs without allocation.
    const NpAllocation& share = *np.allocation;
    const uint32_t first = share.start_neuron;
    const uint32_t count = share.filters;
    if (depthwise) {
      planned.push_back({np.ident, dma::Target::CnpWeights8bit, 0,
                         tnp_b_depthwise_buffer_temp_conv_weight_words(*payloads.weights, first, count), nullptr,
                         [&payloads, first, count](std::span<uint32_t> words) {
                           pack_tnp_b_depthwise_buffer_temp_conv_weights(*payloads.weights, first, count, words);
                         }});
      np_shifts.push_back(format_input_shift(*payloads.input_shift, first, count));
    } else {
      planned.push_back({np.ident, dma::Target::CnpWeights8bit, 0,
                         tnp_b_buffer_temp_conv_weight_words(*payloads.weights, first, count), nullptr,
                         [&payloads, first, count](std::span<uint32_t> words) {
                           pack_tnp_b_buffer_temp_conv_weights(*payloads.weights, payloads.fifo_size, first, count,
                                                               words);
                         }});
    }
    const Words& shifts = depthwise ? np_shifts.back() : payloads.layer_shifts;
    planned.push_back({np.ident, dma::Target::InputShifts, 0, shifts.size(), &shifts, {}});
    planned.push_back({np.ident, dma::Target::ChannelVariables, 0, ChannelVariables::words(count), nullptr,
                       [&variables, first, count](std::span<uint32_t> words) { variables.write(first, count, words); }});
  }
  program::add_planned_blocks(*record, planned);
  return record;
}

}  // namespace

std::unique_ptr<program::Record> record_program_buffer_temp_conv_layer(const Device& device, const Layer& layer,
                                                                       std::shared_ptr<Layer> alt_layer,
                                                                       bool ib_spikes, bool pr_flag,
                                                                       const std::vector<hw::Ident>& excluded_nps,
                                                                       bool registers_only, bool common_flag) {
  return record_tnp_b_layer(LayerType::BufferTempConv, device, layer, std::move(alt_layer), ib_spikes, pr_flag,
                            excluded_nps, registers_only, common_flag);
}

std::unique_ptr<program::Record> record_program_depthwise_buffer_temp_conv_layer(
    const Device& device, const Layer& layer, std::shared_ptr<Layer> alt_layer, bool ib_spikes, bool pr_flag,
    const std::vector<hw::Ident>& excluded_nps, bool registers_only, bool common_flag) {
  return record_tnp_b_layer(LayerType::DepthwiseBufferTempConv, device, layer, std::move(alt_layer), ib_spikes,
                            pr_flag, excluded_nps, registers_only, common_flag);
}

}  // namespace ornix::v2
