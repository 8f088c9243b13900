#include "backend/v2/tnp_b_register_builder.h"

#include <algorithm>
#include <stdexcept>

#include "backend/v2/cnp_register_format.h"
#include "backend/v2/conv2d_recording_messages.h"
#include "backend/v2/conv2d_registers.h"
#include "backend/v2/np_block_routing.h"
#include "backend/v2/np_registers_format.h"
#include "backend/v2/tnp_b_recording_messages.h"
#include "backend/v2/tnp_b_registers.h"
#include "backend/v2/tnp_b_sizes.h"
#include "program/np_split.h"
#include "program/register_field.h"

namespace ornix::v2 {
namespace {

// Every TNP-B computes a 1x1 kernel at stride 1 (the common configuration's stride-2 bit stays
// clear), with 8-bit weights and no pooling.
constexpr int kKernelSize = 1;
constexpr int kSplitStride = 1;
constexpr int kConfigStride = 0;
constexpr uint8_t kWeightsBits = 8;
constexpr unsigned kSplitPoolSize = 0;
constexpr uint8_t kSplitPoolStride = 1;

constexpr uint32_t kFiltersPerGroup = 8;
constexpr uint64_t kBitsPerWord = 32;
constexpr uint32_t kChannelAlignment = 4;
constexpr uint32_t kBytesPerWord = 4;

// What every NP's block takes from the layer, read once.
struct TemporalFacts {
  MeshRoutingLists routing;
  bool depthwise = false;
  ActivationType activation = ActivationType::NoActivation;
  Shape input;             // the first input: width, height, channels
  uint32_t fifo_size = 0;  // "fifo_size", as an unsigned value
  uint8_t input_bits = 0;
  uint8_t output_bits = 0;
};

TemporalFacts read_facts(const Layer& layer, const LayerMapping& mapping, bool depthwise) {
  TemporalFacts facts;
  facts.routing = mesh_routing_lists(mapping);
  facts.depthwise = depthwise;
  facts.activation = static_cast<ActivationType>(param_of(layer, "activation"));
  facts.input = layer.input_dimensions().front();
  facts.fifo_size = static_cast<uint32_t>(param_of(layer, "fifo_size"));
  facts.input_bits = layer.input_bits();
  facts.output_bits = layer.output_bits();
  return facts;
}

constexpr uint32_t bit(bool value) { return value ? 1 : 0; }

// Callers pass channel counts that fit 11 bits, so the rounding cannot wrap.
constexpr uint32_t round_up_to_4(uint32_t channels) {
  return (channels + kChannelAlignment - 1) / kChannelAlignment * kChannelAlignment;
}

void put(NpRegisterBlock regs, std::size_t word, const RegDetail& field, uint32_t value) {
  set_field(&regs[word], field, value);
}

// [1] bit 28 | depthwise: [3] bit 2, channel group enable when the NP holds fewer channels than the layer.
void write_mode(NpRegisterBlock regs, const TemporalFacts& facts, uint32_t count) {
  put(regs, kWordControl, REG1_BIT28, 1);
  if (!facts.depthwise) return;
  put(regs, kWordFormats, REG4_IB_CH_GRP_EN, bit(count < facts.input[2]));
  put(regs, kWordFormats, REG3_BIT2, 1);
}

// [11] channel container | [21] NC | depthwise [22] channel group | [28] roundup4(NC), its words
// over the padded width | [29] filter groups. Filters and NC were checked by then (10 and 11 bits).
void write_containers(NpRegisterBlock regs, const TemporalFacts& facts, const NpSplit& split,
                      const NpAllocation& share) {
  const uint32_t count = share.filters;
  put(regs, kWordContainers, REG11_CHCONT_SIZE, facts.depthwise ? 1 : buffer_temp_conv_ch_cont_100b_size(count));
  put(regs, kWordFilterTotal, REG21_CHANNELS, split.channels);
  if (facts.depthwise) {
    const bool group = count < facts.input[2];
    put(regs, kWordChannelGroup, CNP3_CH_ORIG_CUT, group ? share.start_neuron : 0);
    put(regs, kWordChannelGroup, CNP3_CH_SIZE_CUT, group ? count : 0);
  }
  const uint32_t pixel_bytes = round_up_to_4(split.channels);
  put(regs, kWordContainerSizes, CNP8_CPK_CHCONT_SIZE, pixel_bytes);
  put(regs, kWordContainerSizes, REG28_ROW_WORDS, pixel_bytes * split.padded_width / kBytesPerWord);
  put(regs, kWordFilterGroups, REG29_FILTER_GROUPS,
      facts.depthwise ? 1 : (count + kFiltersPerGroup - 1) / kFiltersPerGroup);
}

// [30] bit 0 clear, bit 1 set | [11:8] s | [19:16] s + 1. s fits 16 bits by then.
void write_fifo(NpRegisterBlock regs, uint32_t fifo_size) {
  put(regs, kWordFifo, REG30_BIT0, 0);
  put(regs, kWordFifo, REG30_BIT1, 1);
  put(regs, kWordFifo, REG30_FIFO_SIZE, fifo_size);
  put(regs, kWordFifo, REG30_FIFO_FRAMES, fifo_size + 1);
}

// [56] the padded window at ib bits, channels rounded up to 4, in 64-word units | bit 31 clear.
// The padded height and width fit 11 bits and NC 11 bits by then, so the units fit 30 bits.
void write_input_buffer(NpRegisterBlock regs, uint8_t input_bits, const NpSplit& split) {
  const uint64_t bits = uint64_t{input_bits} * round_up_to_4(split.channels) * split.padded_height *
                        split.padded_width;
  const uint64_t words = (bits + kBitsPerWord - 1) / kBitsPerWord;
  const uint64_t units = (words + kInputBufferUnitWords - 1) / kInputBufferUnitWords;
  put(regs, kWordNpMode, REG56_INPUT_BUFFER, static_cast<uint32_t>(units));
  put(regs, kWordNpMode, REG56_BIT31, 0);
}

std::vector<uint32_t> np_block(const Layer& layer, const LayerMapping& mapping, const TemporalFacts& facts,
                               const hw::Component& np, const Layer* alt_layer, const NpBlockFlags& flags) {
  if (!np.allocation) throw std::invalid_argument(np_without_allocation_message(layer.name()));
  const NpAllocation& share = *np.allocation;
  std::vector<uint32_t> block = default_np_regs(np, mapping.layer_id, flags.registers_only, false);
  const NpRegisterBlock regs{block};
  const NpSplit split(facts.input, share.spatial_partition, share.padded_partition, kKernelSize, kSplitStride,
                      PaddingParams{}, kSplitPoolSize, kSplitPoolStride, PaddingParams{});

  format_cnp_tnp_common_config_registers(regs, split, kKernelSize, kConfigStride, facts.activation,
                                         share.start_neuron, share.filters, kWeightsBits, *mapping.nps,
                                         share.single_buffer, false, facts.input_bits, facts.output_bits, nullptr,
                                         nullptr, nullptr, flags.common_flag, false);
  write_mode(regs, facts, share.filters);
  put(regs, kWordInputContainer, REG4_FIFO_SIZE, facts.fifo_size);
  write_containers(regs, facts, split, share);
  write_fifo(regs, facts.fifo_size);
  write_input_buffer(regs, facts.input_bits, split);
  close_np_block(regs, mapping, facts.routing, np.ident, alt_layer, flags);
  return block;
}

NpRegisterMap tnp_b_registers(LayerType type, const Layer& layer, const std::shared_ptr<Layer>& alt_layer,
                              const std::vector<hw::Ident>& excluded_nps, const NpBlockFlags& flags) {
  if (layer.params()->layer_type() != type) throw std::runtime_error(kMsgInvalidTnpBLayerType);
  const LayerMapping& mapping = cnp_layer_mapping(layer);
  const TemporalFacts facts = read_facts(layer, mapping, type == LayerType::DepthwiseBufferTempConv);

  NpRegisterMap blocks;
  for (const hw::Component& np : *mapping.nps) {
    if (std::find(excluded_nps.begin(), excluded_nps.end(), np.ident) != excluded_nps.end()) continue;
    blocks.insert_or_assign(np.ident, np_block(layer, mapping, facts, np, alt_layer.get(), flags));
  }
  return blocks;
}

}  // namespace

NpRegisterMap format_buffer_temp_conv_registers(const Layer& layer, std::shared_ptr<Layer> alt_layer, bool ib_spikes,
                                                bool pr_flag, const std::vector<hw::Ident>& excluded_nps,
                                                bool registers_only, bool common_flag) {
  return tnp_b_registers(LayerType::BufferTempConv, layer, alt_layer, excluded_nps,
                         {ib_spikes, pr_flag, registers_only, common_flag});
}

NpRegisterMap format_depthwise_buffer_temp_conv_registers(const Layer& layer, std::shared_ptr<Layer> alt_layer,
                                                          bool ib_spikes, bool pr_flag,
                                                          const std::vector<hw::Ident>& excluded_nps,
                                                          bool registers_only, bool common_flag) {
  return tnp_b_registers(LayerType::DepthwiseBufferTempConv, layer, alt_layer, excluded_nps,
                         {ib_spikes, pr_flag, registers_only, common_flag});
}

}  // namespace ornix::v2
