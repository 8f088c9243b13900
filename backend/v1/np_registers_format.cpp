#include "backend/v1/np_registers_format.h"

#include <algorithm>
#include <cstddef>
#include <stdexcept>

#include "backend/v1/cnp_weight_sizes.h"
#include "backend/v1/fnp_limits.h"
#include "backend/v1/np_register_messages.h"
#include "backend/v1/np_registers.h"
#include "backend/v2/mesh_idents.h"
#include "mapping/layer_mapping.h"
#include "program/register_field.h"

namespace ornix::v1 {
namespace {

using Components = std::vector<hw::Component>;
using v2::mesh_column_range;
using v2::one_hot_id;

constexpr uint32_t bit(bool value) { return value ? 1 : 0; }

void put(std::vector<uint32_t>* regs, std::size_t word, const RegDetail& field, uint32_t value) {
  set_field(&regs->at(word), field, value);
}

uint32_t get(const std::vector<uint32_t>& regs, std::size_t word, const RegDetail& field) {
  return (regs.at(word) >> field.offset) & ((uint32_t{1} << field.width) - 1);
}

// [31:24] 0x06 (tag 0xFF) or 0xFF | [23:16] 0x08 | [15:3] kept | [2] route flag | [1] 0 | [0] second p2p
void write_routing_mode(std::vector<uint32_t>* regs, uint8_t output_tag, bool second_p2p, bool route_flag) {
  put(regs, kWordRoutingMode, REG44_SECOND_P2P, bit(second_p2p));
  put(regs, kWordRoutingMode, REG44_BIT1, 0);
  put(regs, kWordRoutingMode, REG44_ROUTE_FLAG, bit(route_flag));
  put(regs, kWordRoutingMode, REG44_BITS16_23, kReg44Bits16To23);
  put(regs, kWordRoutingMode, REG44_BITS24_31, output_tag == kNoOutputTag ? kReg44TopNoOutput : kReg44TopOutput);
}

// Point to point: [23:20] one-hot id | [15:8] col | [7:0] row (bits 16-19 kept);
// range mode: [15:8] largest col | [7:0] smallest col (bits 16-23 kept).
void write_target_list(std::vector<uint32_t>* regs, std::size_t word, const Components& list, bool p2p) {
  if (p2p) {
    if (list.size() != 1) throw std::runtime_error(kMsgP2pMultipleNps);
    const hw::Ident& to = list.front().ident;
    put(regs, word, REG45_LOW, to.row);
    put(regs, word, REG45_HIGH, to.col);
    put(regs, word, REG45_ID, one_hot_id(to.id));
  } else {
    const auto [low, high] = mesh_column_range(list);
    put(regs, word, REG45_LOW, low);
    put(regs, word, REG45_HIGH, high);
  }
}

// [15:8] largest column | [7:0] smallest column, over the second targets and the layer's NPs
void write_column_span(std::vector<uint32_t>* regs, const Components& second_targets, const Components& layer_nps) {
  const auto [second_low, second_high] = mesh_column_range(second_targets);
  const auto [own_low, own_high] = mesh_column_range(layer_nps);
  put(regs, kWordColumnRange, REG47_COL_MIN, std::min(second_low, own_low));
  put(regs, kWordColumnRange, REG47_COL_MAX, std::max(second_high, own_high));
  put(regs, kWordColumnRange, REG47_BITS16_31, 0);
}

// The window the partial reconfiguration reads.
struct PrWindow {
  uint32_t x = 0;
  uint32_t y = 0;
  uint32_t width = 0;
  uint32_t height = 0;
};

}  // namespace

std::vector<uint32_t> default_np_regs() {
  std::vector<uint32_t> regs(kNpRegisterWords, 0);
  for (const auto& [word, value] : kNpRegisterDefaults) regs[word] = value;
  return regs;
}

// [19:16] one-hot id | [15:8] col | [7:0] row; bits 20-31 kept
void format_mesh_cfg_dma_reg(std::vector<uint32_t>* regs, const hw::Ident& ident) {
  const uint32_t id = one_hot_id(ident.id);
  uint32_t word = regs->at(kWordConfigDma);
  set_field(&word, REG49_CFG_DMA_ID, id);  // checked first: an oversized id leaves the block unchanged
  set_field(&word, REG49_CFG_DMA_ROW, ident.row);
  set_field(&word, REG49_CFG_DMA_COL, ident.col);
  (*regs)[kWordConfigDma] = word;
}

void format_mesh_registers_set_output_to_NPs(std::vector<uint32_t>* regs, const Components& targets,
                                             const Components& layer_nps, const Components& second_targets,
                                             uint8_t output_tag, bool targets_p2p, bool second_p2p, bool route_flag) {
  write_routing_mode(regs, output_tag, second_p2p, route_flag);
  write_target_list(regs, kWordSecondTargets, second_targets, second_p2p);
  put(regs, kWordSecondTargets, REG45_OUTPUT_TAG, output_tag);
  write_target_list(regs, kWordTargets, targets, targets_p2p);
  put(regs, kWordTargets, REG46_BITS30_31, 0);
  write_column_span(regs, second_targets, layer_nps);
}

void set_ib_spikes(std::vector<uint32_t>* regs) { put(regs, kWordInputControl, REG2_IB_SPIKES, 1); }

void update_partial_reconfig_regs(std::vector<uint32_t>* regs, const Layer& layer, const hw::Component& np) {
  const bool is_fnp = np.type == hw::Type::FNP2 || np.type == hw::Type::FNP3;
  const uint8_t input_bits = layer.input_bits();
  put(regs, kWordPrControl, REG32_BIT0, 1);
  put(regs, kWordPrControl, REG32_FNP, bit(is_fnp));
  put(regs, kWordPrControl, REG32_BIT2, 1);
  put(regs, kWordPrControl, REG32_INPUT_CODE, input_bits >> 1);
  put(regs, kWordPrControl, REG32_RECONFIG_ID, record_of(layer).input_id);

  const Shape input = layer.input_dimensions().at(0);
  const NpAllocation share = hw::np_share_or_default(np);
  PrWindow window{0, 0, input[0], input[1]};
  if (!is_fnp) {
    const NpSpace& padded = share.padded_partition;
    window = {padded.x, padded.y, padded.shape[0], padded.shape[1]};
  }
  put(regs, kWordPrOrigin, REG33_ORIGIN_Y, window.y);
  put(regs, kWordPrOrigin, REG33_ORIGIN_X, window.x);
  put(regs, kWordPrSize, REG34_HEIGHT, window.height);
  put(regs, kWordPrSize, REG34_WIDTH, window.width);

  const uint32_t whole_input = (input[0] * input[1] * input[2] + kFnpChunkInputs - 1) / kFnpChunkInputs;
  uint32_t size = std::max({get(*regs, kWordInputSize, REG4_INPUT_SIZE),
                            get(*regs, kWordInputSizeCopy, REG4_INPUT_SIZE), whole_input});
  if (is_fnp) {
    put(regs, kWordPrContainer, REG35_FNP_PLANE, input[0] * input[1]);
    if (get(*regs, kWordNpMode, REG1_BIT4) == 0) size = std::max(size, kPrMinFnpInputSize);
  } else {
    const uint32_t channels = share.spatial_partition.shape[2];
    const uint32_t container = get_cnp_channel_container_size(window.width, input_bits);
    put(regs, kWordPrContainer, REG35_CNP_ROW_WORDS, (container * channels + 3) / 4);
    put(regs, kWordPrContainer, REG35_CNP_CONTAINER, container);
    size = std::max<uint64_t>(size, get_cnp_input_sram_size(container, channels, window.height));
  }
  put(regs, kWordInputSize, REG4_INPUT_SIZE, size);
  put(regs, kWordInputSizeCopy, REG4_INPUT_SIZE, size);
}

void write_reconfig_view(std::vector<uint32_t>* regs, const Layer& reconfig_layer, const hw::Ident& ident) {
  const LayerMapping& mapping = record_of(reconfig_layer);
  const auto np = std::find_if(mapping.nps->begin(), mapping.nps->end(),
                               [&](const hw::Component& component) { return component.ident == ident; });
  if (np != mapping.nps->end()) update_partial_reconfig_regs(regs, reconfig_layer, *np);
}

}  // namespace ornix::v1
