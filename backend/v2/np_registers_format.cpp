#include "backend/v2/np_registers_format.h"

#include <algorithm>
#include <cstddef>
#include <limits>
#include <stdexcept>

#include "backend/v2/np_register_messages.h"
#include "backend/v2/np_registers.h"
#include "backend/v2/register_format_limits.h"
#include "mapping/layer_mapping.h"
#include "program/register_field.h"

namespace ornix::v2 {
namespace {

constexpr uint32_t bit(bool value) { return value ? 1 : 0; }

// The one-hot code of an ident id; ids beyond 31 give a value no field takes.

void put(NpRegisterBlock regs, std::size_t word, const RegDetail& field, uint32_t value) {
  set_field(&regs[word], field, value);
}

// [31:24] 0xFF | [23:16] 0x08 | [15:4] kept | [3] 1 | [2] pr_flag | [1] 0 | [0] p2p_out
void write_routing_mode(NpRegisterBlock regs, bool p2p_out, bool pr_flag) {
  put(regs, kWordRoutingMode, REG44_P2P_OUT, bit(p2p_out));
  put(regs, kWordRoutingMode, REG44_BIT1, 0);
  put(regs, kWordRoutingMode, REG44_PR_FLAG, bit(pr_flag));
  put(regs, kWordRoutingMode, REG44_BIT3, 1);
  put(regs, kWordRoutingMode, REG44_BITS16_23, 0x08);
  put(regs, kWordRoutingMode, REG44_BITS24_31, 0xFF);
}

// [31:24] value | [23:20] one-hot id (P2P) | [15:8] col or largest col | [7:0] row or smallest col
void write_destinations(NpRegisterBlock regs, const std::vector<hw::Component>& destinations, uint8_t value,
                        bool p2p_out) {
  if (p2p_out) {
    if (destinations.size() != 1) throw std::runtime_error(kMsgP2pOutMultipleNps);
    const hw::Ident& to = destinations.front().ident;
    put(regs, kWordDestinations, REG45_DEST_LOW, to.row);
    put(regs, kWordDestinations, REG45_DEST_HIGH, to.col);
    put(regs, kWordDestinations, REG45_DEST_ID, one_hot_id(to.id));
  } else {
    const auto [low, high] = mesh_column_range(destinations);
    put(regs, kWordDestinations, REG45_DEST_LOW, low);
    put(regs, kWordDestinations, REG45_DEST_HIGH, high);
  }
  // A TNP-B takes the value one below; from 0 that wraps to a value no byte holds.
  const bool to_tnp_b = destinations.front().type == hw::Type::TNP_B;
  put(regs, kWordDestinations, REG45_OUTPUT_ID, to_tnp_b ? uint32_t{value} - 1 : uint32_t{value});
}

// [31] 0 | [23:20] one-hot id (P2P) | [19] alternative | [15:8] col or largest col | [7:0] row or smallest col
void write_sources(NpRegisterBlock regs, const std::vector<hw::Component>& sources, bool p2p_in, bool alt) {
  if (p2p_in) {
    if (sources.size() != 1) throw std::runtime_error(kMsgP2pInMultipleNps);
    const hw::Ident& from = sources.front().ident;
    put(regs, kWordSources, REG46_SRC_LOW, from.row);
    put(regs, kWordSources, REG46_SRC_HIGH, from.col);
    put(regs, kWordSources, REG46_SRC_ID, one_hot_id(from.id));
  } else {
    const auto [low, high] = mesh_column_range(sources);
    put(regs, kWordSources, REG46_SRC_LOW, low);
    put(regs, kWordSources, REG46_SRC_HIGH, high);
  }
  put(regs, kWordSources, REG46_BIT31, 0);
  if (alt) put(regs, kWordSources, REG46_ALT, 1);
}

// [31:24] NP count | [23:16] first branch head's id | [4] second branch
void write_alternative(NpRegisterBlock regs, const AltLayerMapInfo& alt) {
  put(regs, kWordMerge, REG52_ALT_SECOND, alt.branch);
  put(regs, kWordMerge, REG52_ALT_FIRST_ID, alt.first_branch_id);
  put(regs, kWordMerge, REG52_ALT_NP_NUM, alt.np_count);
}

// [15:8] largest column | [7:0] smallest column, over the layer's NPs and its destinations
void write_column_span(NpRegisterBlock regs, const std::vector<hw::Component>& own,
                       const std::vector<hw::Component>& destinations) {
  const auto [own_low, own_high] = mesh_column_range(own);
  const auto [dest_low, dest_high] = mesh_column_range(destinations);
  put(regs, kWordColumnRange, REG47_COL_MIN, std::min(own_low, dest_low));
  put(regs, kWordColumnRange, REG47_COL_MAX, std::max(own_high, dest_high));
}

}  // namespace

std::vector<uint32_t> default_np_regs(const hw::Component& np, uint32_t value, bool registers_only, bool merge) {
  std::vector<uint32_t> block(kNpRegisterWords, 0);
  const NpRegisterBlock regs{block};
  for (const auto& [word, fixed] : kNpRegisterDefaults) regs[word] = fixed;
  put(regs, kWordFormats, REG3_LAYER_ID, registers_only ? kRegistersOnlyLayerId : value);
  const bool upper = np.ident.id >= kUpperNpId;
  put(regs, kWordNpMode, REG56_MERGE, bit(merge));
  put(regs, kWordNpMode, REG56_BIT8, bit(upper));
  put(regs, kWordNpMode, REG56_BIT23, 1);
  put(regs, kWordNpMode, REG56_BIT24, bit(upper));
  return block;
}

void format_mesh_registers_set_output_to_NPs(NpRegisterBlock regs, const std::vector<hw::Component>& sources,
                                             const std::vector<hw::Component>& own,
                                             const std::vector<hw::Component>& destinations,
                                             const AltLayerMapInfo* alt, uint8_t value, bool p2p_in, bool p2p_out,
                                             bool pr_flag) {
  write_routing_mode(regs, p2p_out, pr_flag);
  write_destinations(regs, destinations, value, p2p_out);
  write_sources(regs, sources, p2p_in, alt != nullptr);
  if (alt != nullptr) write_alternative(regs, *alt);
  write_column_span(regs, own, destinations);
}

void set_ib_spikes(NpRegisterBlock regs) { put(regs, kWordInputControl, REG2_IB_SPIKES, 1); }

// [19:16] one-hot id | [15:8] col | [7:0] row
void format_mesh_cfg_dma_reg(NpRegisterBlock regs, const hw::Ident& ident) {
  put(regs, kWordConfigDma, REG49_CFG_DMA_ROW, ident.row);
  put(regs, kWordConfigDma, REG49_CFG_DMA_COL, ident.col);
  put(regs, kWordConfigDma, REG49_CFG_DMA_ID, one_hot_id(ident.id));
}

}  // namespace ornix::v2
