#include "backend/v2/partial_reconfig_registers.h"

#include <algorithm>
#include <cstddef>
#include <limits>
#include <memory>
#include <stdexcept>
#include <vector>

#include "backend/v2/fnp_input_layout.h"
#include "backend/v2/np_register_messages.h"
#include "backend/v2/np_registers.h"
#include "backend/v2/np_registers_format.h"
#include "mapping/layer_mapping.h"
#include "mapping/layer_mapping_messages.h"
#include "program/register_field.h"

namespace ornix::v2 {
namespace {

constexpr uint32_t bit(bool value) { return value ? 1 : 0; }
constexpr uint32_t ceil_div(uint32_t a, uint32_t b) { return (a + b - 1) / b; }
constexpr uint32_t roundup4(uint32_t n) { return (n + 3) & ~uint32_t{3}; }

void put(NpRegisterBlock regs, std::size_t word, const RegDetail& field, uint32_t value) {
  set_field(&regs[word], field, value);
}

// Bytes R of one input row and 32-bit words Q of one channel plane, as the NP reads its input.
struct InputPlane {
  uint32_t row_bytes = 0;
  uint32_t plane_words = 0;
};

// The first inbound layer max-pools and has no activation (no inbound layer: false).
bool follows_bare_max_pool(const Layer& layer) {
  const std::vector<std::shared_ptr<const Layer>> inbounds = layer.inbound_layers();
  if (inbounds.empty() || inbounds.front() == nullptr) return false;
  const Layer& inbound = *inbounds.front();
  return inbound.pooling_is(PoolType::Max) && !inbound.has_activation();
}

// The whole input (x, y) as the FNP's window; R by the FNP input layout.
InputPlane write_fnp_view(NpRegisterBlock regs, const Layer& layer, uint32_t channels, uint32_t ib) {
  const Shape input = layer.input_dimensions().at(0);
  const uint32_t x = input[0], y = input[1];
  put(regs, kWordPrControl, PR1_FNP_MODE, 1);
  put(regs, kWordPrOrigin, PR1_I_ORIG_CUT, 0);
  put(regs, kWordPrOrigin, PR1_J_ORIG_CUT, 0);
  put(regs, kWordPrSize, PR1_I_SIZE_CUT, y);
  put(regs, kWordPrSize, PR1_J_SIZE_CUT, x);
  put(regs, kWordPrContainer, PR1_CH_SIZE, x * y);

  const uint32_t line_bytes = ceil_div(ib * x, 8);
  uint32_t row_bytes = 0;
  switch (get_fnp_supported_padding(layer, false)) {
    case InputPadding::RowAligned:
      row_bytes = line_bytes;
      break;
    case InputPadding::Packed:
    case InputPadding::ChannelRowAligned:
      row_bytes = roundup4(line_bytes);
      break;
    default:
      throw std::runtime_error(kMsgUnsupportedPadding);
  }
  return {row_bytes, ceil_div(row_bytes * channels, 4)};
}

// The NP's padded window; the plane sizes of a standard or a separable (channel by channel) layer.
InputPlane write_window_view(NpRegisterBlock regs, const Layer& layer, const NpAllocation& share, uint32_t ib) {
  const NpSpace& padded = share.padded_partition;
  const uint32_t width = padded.shape[0], height = padded.shape[1], depth = padded.shape[2];
  put(regs, kWordPrControl, PR1_FNP_MODE, 0);
  put(regs, kWordPrOrigin, PR1_I_ORIG_CUT, padded.y);
  put(regs, kWordPrOrigin, PR1_J_ORIG_CUT, padded.x);
  put(regs, kWordPrSize, PR1_I_SIZE_CUT, height);
  put(regs, kWordPrSize, PR1_J_SIZE_CUT, width);

  const uint32_t row_bytes = roundup4(ceil_div(ib * width, 8));
  if (follows_bare_max_pool(layer)) {
    put(regs, kWordPrControl, PR1_SP_MAXPOOLING, 1);
    put(regs, kWordPrPksram, PR1_PKSRAM_SIZE, ((row_bytes * depth / 4) & kPlaneWordsMask) * height);
  }
  if (!layer.is_separable()) return {row_bytes, row_bytes * share.spatial_partition.shape[2] / 4};

  const uint32_t row_words = ceil_div(ib * width, 32);
  put(regs, kWordPrContainer, PR1_SEPARABLE, 1);
  if (share.filters < layer.input_dimensions().at(0)[2]) {
    put(regs, kWordPrControl, PR1_IB_CH_GRP_EN, 1);
    put(regs, kWordPrChannelGroup, PR1_CH_ORIG_CUT, share.start_neuron);
    put(regs, kWordPrChannelGroup, PR1_CH_SIZE_CUT, share.filters);
  }
  return {row_words * height * 4, row_words};
}

// [31] 0 | [30:24] NP count | [15:8] largest source column | [7:0] smallest source column
void write_alt_sources(NpRegisterBlock regs, const LayerMapping& mapping) {
  std::vector<hw::Component> sources;
  for (const SharedComponents& list : mapping.inputs) {
    if (list) sources.insert(sources.end(), list->begin(), list->end());
  }
  sources.insert(sources.end(), mapping.skipdma_loads.begin(), mapping.skipdma_loads.end());
  const std::size_t nps = mapping.nps ? mapping.nps->size() : 0;
  const auto [low, high] = mesh_column_range(sources);
  put(regs, kWordPrSources, REG41_BIT31, 0);
  put(regs, kWordPrSources, REG41_NP_NUM,
      static_cast<uint32_t>(std::min<std::size_t>(nps, std::numeric_limits<uint32_t>::max())));
  put(regs, kWordPrSources, REG41_SRC_COL_MIN, low);
  put(regs, kWordPrSources, REG41_SRC_COL_MAX, high);
}

}  // namespace

void update_partial_reconfig_regs(NpRegisterBlock regs, const Layer& alt_layer, const hw::Component& alt_np,
                                  bool pr_flag) {
  const std::shared_ptr<LayerMapping> mapping = layer_mapping_of(alt_layer);
  if (mapping == nullptr) throw std::invalid_argument(missing_layer_mapping_message(alt_layer.name()));
  if (!alt_np.allocation) throw std::invalid_argument(kMsgAltNpWithoutShare);
  const NpAllocation& share = *alt_np.allocation;
  const uint32_t ib = alt_layer.input_bits();

  put(regs, kWordPrControl, REG32_BIT0, 1);
  put(regs, kWordPrControl, REG32_BIT2, 1);
  put(regs, kWordRoutingMode, REG44_PR_ALT_FLAG, bit(pr_flag));
  put(regs, kWordPrControl, REG32_INPUT_CODE, ib / 2 - ib / 8);  // 1, 2, 4, 8 bits: 0, 1, 2, 3
  put(regs, kWordPrControl, REG32_RECONFIG_ID, mapping->input_id);

  InputPlane plane;
  if (alt_layer.is_target_component(ComponentKind::FNP)) {
    plane = write_fnp_view(regs, alt_layer, share.spatial_partition.shape[2], ib);
  } else if (alt_layer.is_target_component(ComponentKind::CNP) ||
             alt_layer.is_target_component(ComponentKind::TNP_B)) {
    plane = write_window_view(regs, alt_layer, share, ib);
  }
  write_alt_sources(regs, *mapping);
  put(regs, kWordPrContainer, REG35_PLANE_WORDS, plane.plane_words);
  put(regs, kWordPrContainer, REG35_ROW_BYTES, plane.row_bytes);

  const MergeLayerMapInfo* merge = mapping->merge_info.get();
  put(regs, kWordPrControl, REG32_MERGE, bit(merge != nullptr));
  put(regs, kWordPrControl, REG32_MERGE_NOT_ADD, bit(merge != nullptr && !merge->is_add));
}

}  // namespace ornix::v2
