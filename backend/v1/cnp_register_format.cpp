#include "backend/v1/cnp_register_format.h"

#include <algorithm>
#include <cstddef>
#include <functional>
#include <stdexcept>

#include "backend/v1/cnp_registers.h"
#include "backend/v1/cnp_weight_format.h"
#include "backend/v1/cnp_weight_sizes.h"
#include "backend/v1/np_registers.h"
#include "backend/v1/np_registers_format.h"
#include "backend/v1/recorder_messages.h"
#include "backend/v2/np_block_routing.h"
#include "mapping/layer_mapping.h"
#include "ornix/layer_geometry.h"
#include "ornix/layers/convolution_v1.h"
#include "program/np_split.h"
#include "program/register_field.h"

namespace ornix::v1 {

namespace {

using Regs = std::vector<uint32_t>;
using RegisterMap = std::map<hw::Ident, Regs>;

constexpr uint32_t bit(bool value) { return value ? 1 : 0; }
constexpr int32_t kNoPooling = 0;       // PoolType::NoPooling
constexpr int32_t kAveragePooling = 2;  // PoolType::Average
constexpr int32_t kGlobalPoolWidth = -1;
constexpr int32_t kStride2 = 2;
constexpr uint32_t kFilterGroup = 8;

void put(Regs* regs, std::size_t word, const RegDetail& field, uint32_t value) {
  set_field(&regs->at(word), field, value);
}

// A window offset as 4-bit two's complement.
uint32_t offset_code(uint32_t offset) { return int32_to_intN<kCnpOffsetBits>(static_cast<int32_t>(offset)); }

void read_pooling(const Layer& layer, const PoolingCalculatedParams& pool, CnpLayerFacts* facts) {
  const int32_t pool_type = param_of(layer, "pool_type");
  if (pool_type == kNoPooling) return;
  const int32_t width = param_of(layer, "pooling_width");
  facts->pool_width =
      pool_type == kAveragePooling && width == kGlobalPoolWidth ? 1 : static_cast<uint32_t>(width);
  facts->pool_stride = static_cast<uint8_t>(pool.stride_x);
  facts->pool_padding = pool.padding;
  facts->pool_flag = pool.pool_flag;
}

// The NP's window and the pooled outputs it produces.
NpSplit np_split(const CnpLayerFacts& facts, const NpAllocation& share) {
  return NpSplit(facts.input, share.spatial_partition, share.padded_partition, facts.kernel, facts.stride,
                 facts.padding, facts.pool_width, facts.pool_stride, facts.pool_padding);
}

// Words 3, 11, 20 to 22 of a standard layer: 4-bit flag, weight quads per channel, filters.
void write_std_weight_fields(Regs* regs, const Layer& layer, const CnpLayerFacts& facts, const NpAllocation& share) {
  const int32_t weights_bits = param_of(layer, "weights_bits");
  const std::shared_ptr<const Dense> weights = layer.variables().get("weights");
  const std::size_t words = weights_bits == 4
                                ? std_cnp_4bit_weight_words(*weights, share.start_neuron, share.filters)
                                : std_cnp_weight_words(*weights, weights_bits == 2, share.start_neuron, share.filters);
  const uint32_t channels = facts.input[2];
  const uint32_t quads = channels == 0 ? 0 : static_cast<uint32_t>(words) / channels / 4;
  put(regs, kWordFormats, CNP3_SEPARABLE, 0);
  put(regs, kWordFormats, CNP3_4BIT_WEIGHTS, bit(weights_bits == 4));
  put(regs, kWordWindowContainer, CNP11_CHANNEL_QUADS, quads);
  const bool one_by_one = facts.kernel == 1;
  put(regs, kWordCnpKernel, CNP20_FILTERS_1X1, one_by_one ? share.filters : 0);
  put(regs, kWordCnpFilters, CNP21_FILTERS_MULTIBIT, !one_by_one && weights_bits != 1 ? share.filters : 0);
  put(regs, kWordCnpFilters, CNP21_FILTERS_1BIT, !one_by_one && weights_bits == 1 ? share.filters : 0);
  put(regs, kWordCnpWeightLayout, CNP22_BITS0_10, 0);
}

// Words 3, 20 and 22 of a separable layer: weight codes, pointwise slots, depthwise size.
void write_sep_weight_fields(Regs* regs, int32_t weights_bits, uint32_t dw_words, const NpAllocation& share) {
  const auto code = static_cast<uint32_t>(weights_bits) / 2;
  put(regs, kWordFormats, CNP3_SEPARABLE, 1);
  put(regs, kWordFormats, CNP3_SEP_WEIGHTS_A, code);
  put(regs, kWordFormats, CNP3_SEP_WEIGHTS_B, code);
  put(regs, kWordCnpKernel, CNP20_PW_SLOTS, get_nb_words_per_pw_channel(share.filters, weights_bits));
  put(regs, kWordCnpWeightLayout, CNP22_DW_HALF_WORDS, dw_words / 2);
}

using WeightFields = std::function<void(Regs*, const NpAllocation&)>;

// The blocks of every NP not in `skip_nps`, the form's weight fields from `weight_fields`.
RegisterMap format_cnp_regs(const Layer& layer, const CnpLayerFacts& facts, const WeightFields& weight_fields,
                            const std::shared_ptr<Layer>& reconfig_layer, bool ib_spikes, bool route_flag,
                            const std::vector<hw::Ident>& skip_nps) {
  const LayerMapping& mapping = record_of(layer);
  const v2::MeshRoutingLists routing = v2::mesh_routing_lists(mapping);
  RegisterMap blocks;
  for (const hw::Component& np : *mapping.nps) {
    if (std::find(skip_nps.begin(), skip_nps.end(), np.ident) != skip_nps.end()) continue;
    const NpAllocation share = hw::np_share_or_default(np);
    Regs regs = default_np_regs();
    format_cnp_split_regs(&regs, facts, share);
    format_cnp_pooling_regs(&regs, facts, share.spatial_partition);
    weight_fields(&regs, share);
    format_mesh_registers_set_output_to_NPs(&regs, routing.sources, *mapping.nps, routing.destinations,
                                            mapping.output_id, mapping.p2p_input, mapping.p2p_output, route_flag);
    if (reconfig_layer) write_reconfig_view(&regs, *reconfig_layer, np.ident);
    if (ib_spikes) set_ib_spikes(&regs);
    blocks[np.ident] = std::move(regs);
  }
  return blocks;
}

}  // namespace

CnpLayerFacts read_cnp_layer_facts(const Layer& layer) {
  const auto* conv = dynamic_cast<const HasConvParams*>(&layer);
  const auto* pool = dynamic_cast<const HasPoolParams*>(&layer);
  if (conv == nullptr || pool == nullptr || !conv->conv_params() || !pool->pool_params()) {
    throw std::runtime_error(layer_not_built_message(layer.name()));
  }
  CnpLayerFacts facts;
  facts.input = layer.input_dimensions().at(0);
  facts.layer_tag = record_of(layer).layer_id;
  facts.input_bits = layer.input_bits();
  facts.kernel = param_of(layer, "kernel_width");
  facts.stride = param_of(layer, "stride_x");
  facts.padding = conv->conv_params()->padding;
  facts.activation = layer.has_activation();
  facts.act_bits = param_of(layer, "act_bits");
  read_pooling(layer, *pool->pool_params(), &facts);
  facts.np_count = static_cast<uint32_t>(record_of(layer).nps->size());
  return facts;
}

void format_cnp_split_regs(std::vector<uint32_t>* regs, const CnpLayerFacts& facts, const NpAllocation& share) {
  const NpSplit split = np_split(facts, share);
  const uint32_t container = get_cnp_channel_container_size(split.padded_width, facts.input_bits);
  const uint32_t input_size = get_cnp_input_sram_size(container, split.channels, split.padded_height);

  // [22] single buffer | [21:20] 0 | [7] 0 | [6:5] set | [4] 0
  put(regs, kWordNpMode, REG1_BIT4, 0);
  put(regs, kWordNpMode, REG1_BIT7, 0);
  put(regs, kWordNpMode, REG2_NP2NP_CFG, 0);
  put(regs, kWordNpMode, REG1_BIT5, 1);
  put(regs, kWordNpMode, REG1_BIT6, 1);
  put(regs, kWordNpMode, REG1_SINGLE_BUFFER, bit(share.single_buffer));

  // [31:24] layer tag | [23:16] NPs | [15] activation | [13:12] act_bits / 2 | [1:0] input bits / 2
  put(regs, kWordFormats, REG3_INPUT_BITS, facts.input_bits / 2u);
  put(regs, kWordFormats, REG3_ACT_BITS, static_cast<uint32_t>(facts.act_bits) / 2);
  put(regs, kWordFormats, REG3_ACTIVATION, bit(facts.activation));
  put(regs, kWordFormats, REG3_NP_NUM, facts.np_count);
  put(regs, kWordFormats, REG3_LAYER_ID, facts.layer_tag);

  put(regs, kWordInputSize, REG4_INPUT_SIZE, input_size);
  put(regs, kWordInputSize, REG4_BIT31, 1);

  put(regs, kWordCnpWindow, CNP8_HEIGHT, split.height);
  put(regs, kWordCnpWindow, CNP8_ROW_OFFSET, offset_code(split.y_offset));
  put(regs, kWordCnpWindow, CNP8_WIDTH, split.width);
  put(regs, kWordCnpWindow, CNP8_COL_OFFSET, offset_code(split.x_offset));

  put(regs, kWordCnpPaddedOrigin, CNP9_ROW_ORIGIN, split.padded_y);
  put(regs, kWordCnpPaddedOrigin, CNP9_ROW_PHASE, bit(split.y_phase > 0));
  put(regs, kWordCnpPaddedOrigin, CNP9_COL_ORIGIN, split.padded_x);
  put(regs, kWordCnpPaddedOrigin, CNP9_COL_PHASE, bit(split.x_phase > 0));

  put(regs, kWordWindowSize, REG10_I_SIZE_CUT, split.padded_height);
  put(regs, kWordWindowSize, REG10_J_SIZE_CUT, split.padded_width);
  put(regs, kWordWindowContainer, REG11_ICONT_SIZE, split.icont_size());

  put(regs, kWordCnpKernel, CNP1_CONV_STRD, bit(facts.stride == kStride2));
  put(regs, kWordCnpKernel, CNP1_KERNEL_TYPE, static_cast<uint32_t>(facts.kernel));

  put(regs, kWordCnpOutputOrigin, CNP4_OB_I_ORIG, split.out_row_origin);
  put(regs, kWordCnpOutputOrigin, CNP4_OB_J_ORIG, split.out_col_origin);
  put(regs, kWordCnpOutputCount, CNP25_OUT_ROWS, split.out_rows);
  put(regs, kWordCnpOutputCount, CNP25_OUT_COLS, split.out_cols);

  put(regs, kWordCnpNeurons, CNP26_FIRST_FILTER, share.start_neuron);
  put(regs, kWordCnpNeurons, CNP26_FILTERS, share.filters);

  put(regs, kWordCnpContainer, CNP28_CONTAINER, container);
  put(regs, kWordCnpContainer, CNP28_ROW_WORDS, (container * split.channels + 3) / 4);

  put(regs, kWordCnpFilterGroups, REG29_BIT0, 0);
  put(regs, kWordCnpFilterGroups, CNP29_FILTER_GROUPS, (share.filters + kFilterGroup - 1) / kFilterGroup);

  put(regs, kWordLearning, REG36_LEARN_EN, 0);
}

void format_cnp_pooling_regs(std::vector<uint32_t>* regs, const CnpLayerFacts& facts, const NpSpace& window) {
  put(regs, kWordCnpPooling, CNP27_POOL_WIDTH, facts.pool_width);
  put(regs, kWordCnpPooling, CNP27_POOL_STRIDE, facts.pool_stride);
  put(regs, kWordCnpPooling, CNP27_POOL_FLAG, bit(facts.pool_flag));
  // Compared in 64 bits: a window end that wraps in u32 must not meet the input's edge.
  const bool last_row = uint64_t{window.y} + window.shape[1] >= facts.input[1];
  const bool last_column = uint64_t{window.x} + window.shape[0] >= facts.input[0];
  const PaddingParams& pad = facts.pool_padding;
  put(regs, kWordCnpPooling, CNP27_EDGE_TOP, bit(window.y == 0 && pad.top >= 1));
  put(regs, kWordCnpPooling, CNP27_EDGE_BOTTOM, bit(last_row && pad.bottom >= 1));
  put(regs, kWordCnpPooling, CNP27_EDGE_LEFT, bit(window.x == 0 && pad.left >= 1));
  put(regs, kWordCnpPooling, CNP27_EDGE_RIGHT, bit(last_column && pad.right >= 1));
}

std::map<hw::Ident, std::vector<uint32_t>> format_std_cnp_regs(const Layer& layer,
                                                               std::shared_ptr<Layer> reconfig_layer, bool ib_spikes,
                                                               bool route_flag,
                                                               const std::vector<hw::Ident>& skip_nps) {
  const auto& conv = dynamic_cast<const Convolutional&>(layer);
  const CnpLayerFacts facts = read_cnp_layer_facts(conv);
  const WeightFields weight_fields = [&](Regs* regs, const NpAllocation& share) {
    write_std_weight_fields(regs, conv, facts, share);
  };
  return format_cnp_regs(conv, facts, weight_fields, reconfig_layer, ib_spikes, route_flag, skip_nps);
}

std::map<hw::Ident, std::vector<uint32_t>> format_sep_cnp_regs(const Layer& layer,
                                                               std::shared_ptr<Layer> reconfig_layer, bool ib_spikes,
                                                               bool route_flag,
                                                               const std::vector<hw::Ident>& skip_nps) {
  const auto& conv = dynamic_cast<const SeparableConvolutional&>(layer);
  const CnpLayerFacts facts = read_cnp_layer_facts(conv);
  const int32_t weights_bits = param_of(conv, "weights_bits");
  const uint32_t dw_words = get_dw_weights_sram_size(facts.kernel, facts.input[2], weights_bits);
  const WeightFields weight_fields = [&](Regs* regs, const NpAllocation& share) {
    write_sep_weight_fields(regs, weights_bits, dw_words, share);
  };
  return format_cnp_regs(conv, facts, weight_fields, reconfig_layer, ib_spikes, route_flag, skip_nps);
}

}  // namespace ornix::v1
