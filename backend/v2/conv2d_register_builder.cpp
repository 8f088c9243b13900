#include "backend/v2/conv2d_register_builder.h"

#include <algorithm>
#include <limits>
#include <stdexcept>
#include <utility>

#include "backend/v2/cnp_register_format.h"
#include "backend/v2/cnp_weight_sizes.h"
#include "backend/v2/conv2d_recording_messages.h"
#include "backend/v2/conv2d_registers.h"
#include "backend/v2/conv_constraint_limits.h"
#include "backend/v2/np_block_routing.h"
#include "backend/v2/np_registers.h"
#include "backend/v2/np_registers_format.h"
#include "backend/v2/recorder_messages.h"
#include "mapping/layer_mapping_messages.h"
#include "ornix/layers/convolution_v2.h"
#include "ornix/panic.h"
#include "program/np_split.h"
#include "program/register_field.h"

namespace ornix::v2 {
namespace {

constexpr uint64_t kBitsPerByte = 8;
constexpr uint64_t kBytesPerWord = 4;
constexpr uint64_t kFiltersPerGroup = 8;

// What every NP's block takes from the layer, read once.
struct ConvFacts {
  MeshRoutingLists routing;
  Shape input;  // the first input: width, height, channels
  PaddingParams conv_padding;
  PoolingCalculatedParams pool;
  uint8_t pool_size = 1;
  ActivationType activation = ActivationType::NoActivation;
  int kernel_size = 0;
  int kernel_stride = 0;
  uint8_t input_bits = 0;
  uint8_t output_bits = 0;
  bool next_max_pool = false;  // the first outbound layer max-pools without activation
  const hw::Component* skipdma_load = nullptr;
  const hw::Component* skipdma_store_dual = nullptr;
};

// Fills facts.pool (a copy of the built pooling) and returns the pool size the NPs program.
uint8_t pool_size(const LayerParams& params, const ConvCalculatedParams& conv, PoolingCalculatedParams& pool) {
  const auto type = static_cast<PoolType>(params.get("pool_type"));
  if (type == PoolType::NoPooling) return get_no_pooling_params(pool, conv.output_width, conv.output_height);
  const int32_t size = params.get("pool_size");
  if (type == PoolType::Average && size == kGlobalPoolSize) return 1;
  return static_cast<uint8_t>(size);
}

bool next_layer_max_pools(const Layer& layer) {
  const auto outbound = layer.outbound_layers();
  if (outbound.empty()) return false;
  const Layer& next = *outbound.front();
  return next.pooling_is(PoolType::Max) && !next.has_activation();
}

ConvFacts read_facts(const Conv2D& layer, const LayerMapping& mapping) {
  ConvFacts facts;
  facts.routing = mesh_routing_lists(mapping);
  const auto& conv = layer.conv_params();
  const auto& pool = layer.pool_params();
  if (!conv || !pool) throw std::runtime_error(layer_not_built_message(layer.name()));
  facts.conv_padding = conv->padding;
  facts.pool = *pool;
  const LayerParams& params = *layer.params();
  facts.pool_size = pool_size(params, *conv, facts.pool);
  facts.activation = static_cast<ActivationType>(params.get("activation"));
  facts.input = layer.input_dimensions().front();
  facts.kernel_size = params.get("kernel_size");
  facts.kernel_stride = params.get("kernel_stride");
  facts.input_bits = layer.input_bits();
  facts.output_bits = layer.output_bits();
  facts.next_max_pool = next_layer_max_pools(layer);
  facts.skipdma_load = mapping.skipdma_load();
  facts.skipdma_store_dual = mapping.skipdma_store_dual_output();
  return facts;
}

// A value computed in 64 bits: one beyond 32 bits panics with its full value.
void put(NpRegisterBlock regs, std::size_t word, const RegDetail& field, uint64_t value) {
  if (value > std::numeric_limits<uint32_t>::max()) {
    panic(kMsgWideFieldOverflowFormat, static_cast<unsigned long long>(value), field.width);
  }
  set_field(&regs[word], field, static_cast<uint32_t>(value));
}

// [4] (R x NC / 4, low 27 bits) x PH | [21] n | [28] R, R x NC / 4 | [29] ceil(n / 8) | [11] channel container,
// with R the bytes of one padded input row of one channel, rounded up to 4.
void write_conv_containers(NpRegisterBlock regs, const NpSplit& split, uint8_t input_bits, int kernel_size,
                           uint32_t filters, uint8_t weights_bits) {
  const uint64_t row_bytes = (uint64_t{input_bits} * split.padded_width + kBitsPerByte - 1) / kBitsPerByte;
  const uint64_t r = (row_bytes + kBytesPerWord - 1) / kBytesPerWord * kBytesPerWord;
  const uint64_t row_words = r * split.channels / kBytesPerWord;
  put(regs, kWordInputContainer, REG5_CPKSRAM_SIZE, (row_words & kPlaneWordsMask) * split.padded_height);
  put(regs, kWordContainers, REG11_CHCONT_SIZE,
      conv2d_ch_cont_100b_size(static_cast<uint32_t>(kernel_size), filters, weights_bits));
  put(regs, kWordFilterTotal, CNP2_TF_TOTAL, filters);
  put(regs, kWordContainerSizes, CNP8_CPK_CHCONT_SIZE, r);
  put(regs, kWordFilterGroups, REG29_FILTER_GROUPS, (uint64_t{filters} + kFiltersPerGroup - 1) / kFiltersPerGroup);
  put(regs, kWordContainerSizes, REG28_ROW_WORDS, row_words);
}

std::vector<uint32_t> np_block(const Conv2D& layer, const LayerMapping& mapping, const ConvFacts& facts,
                               const hw::Component& np, const std::shared_ptr<Layer>& alt_layer,
                               const NpBlockFlags& flags) {
  if (!np.allocation) throw std::invalid_argument(np_without_allocation_message(layer.name()));
  const NpAllocation& share = *np.allocation;
  const MergeLayerMapInfo* merge = mapping.merge_info.get();
  std::vector<uint32_t> block =
      default_np_regs(np, mapping.layer_id, flags.registers_only, merge != nullptr && merge->is_add);
  const NpRegisterBlock regs{block};
  const auto weights_bits = static_cast<uint8_t>(layer.params()->get("weights_bits"));
  const auto pool_stride = static_cast<uint8_t>(facts.pool.stride_x);
  const NpSplit split(facts.input, share.spatial_partition, share.padded_partition, facts.kernel_size,
                      facts.kernel_stride, facts.conv_padding, facts.pool_size, pool_stride, facts.pool.padding);
  // The channel offset moves the filters only as the registers name them; a sum beyond 32 bits
  // saturates so that the field refuses it.
  const uint64_t first = uint64_t{share.start_neuron} + mapping.sram_output_shift.value_or(0);
  const auto first_neuron = static_cast<uint32_t>(std::min<uint64_t>(first, std::numeric_limits<uint32_t>::max()));

  format_cnp_tnp_common_config_registers(regs, split, facts.kernel_size, facts.kernel_stride, facts.activation,
                                         first_neuron, share.filters, weights_bits, *mapping.nps,
                                         share.single_buffer, false, facts.input_bits, facts.output_bits, merge,
                                         facts.skipdma_load, facts.skipdma_store_dual, flags.common_flag,
                                         !flags.registers_only);
  write_conv_containers(regs, split, facts.input_bits, facts.kernel_size, share.filters, weights_bits);
  format_cnp_pooling_registers(regs, facts.input, share.spatial_partition, facts.pool_size, pool_stride,
                               facts.pool.pool_flag, facts.pool.padding, facts.next_max_pool);
  close_np_block(regs, mapping, facts.routing, np.ident, alt_layer.get(), flags);
  return block;
}

}  // namespace

const LayerMapping& cnp_layer_mapping(const Layer& layer) {
  const auto* mapping = dynamic_cast<const LayerMapping*>(layer.mapping().get());
  if (mapping == nullptr || !mapping->nps) throw std::invalid_argument(missing_layer_mapping_message(layer.name()));
  return *mapping;
}

NpRegisterMap format_conv2d_registers(const Layer& layer, std::shared_ptr<Layer> alt_layer, bool ib_spikes,
                                      bool pr_flag, const std::vector<hw::Ident>& excluded_nps, bool registers_only,
                                      bool common_flag) {
  const auto* conv = dynamic_cast<const Conv2D*>(&layer);
  if (conv == nullptr) throw std::runtime_error(kMsgInvalidCnpLayerType);
  const LayerMapping& mapping = cnp_layer_mapping(layer);
  const ConvFacts facts = read_facts(*conv, mapping);
  const NpBlockFlags flags{ib_spikes, pr_flag, registers_only, common_flag};

  NpRegisterMap blocks;
  for (const hw::Component& np : *mapping.nps) {
    if (std::find(excluded_nps.begin(), excluded_nps.end(), np.ident) != excluded_nps.end()) continue;
    blocks.insert_or_assign(np.ident, np_block(*conv, mapping, facts, np, alt_layer, flags));
  }
  return blocks;
}

}  // namespace ornix::v2
