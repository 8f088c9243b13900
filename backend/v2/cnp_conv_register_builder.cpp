#include "backend/v2/cnp_conv_register_builder.h"

#include <algorithm>
#include <limits>
#include <stdexcept>

#include "backend/v2/cnp_container_registers.h"
#include "backend/v2/cnp_register_format.h"
#include "backend/v2/conv2d_recording_messages.h"
#include "backend/v2/conv_constraint_limits.h"
#include "backend/v2/np_block_routing.h"
#include "backend/v2/np_registers_format.h"
#include "backend/v2/partial_reconfig_registers.h"
#include "mapping/layer_mapping_messages.h"
#include "ornix/layer_geometry.h"
#include "program/np_split.h"

namespace ornix::v2 {
namespace {

using Components = std::vector<hw::Component>;

// The weights width a transposed form always programs.
constexpr uint8_t kTransposedWeightsBits = 8;
constexpr int kTransposedStride = 1;

// What every NP's block takes from the layer, read once.
struct ConvFacts {
  MeshRoutingLists routing;  // where the NPs' input comes from and their output goes
  Shape input;              // the first input: width, height, channels
  PaddingParams conv_padding;
  PoolingCalculatedParams pool;  // the pooling programmed: no pooling for a transposed form
  uint8_t pool_size = 1;
  ActivationType activation = ActivationType::NoActivation;
  int kernel_size = 0;
  int kernel_stride = kTransposedStride;
  uint8_t input_bits = 0;
  uint8_t output_bits = 0;
  bool next_max_pool = false;  // the first outbound layer max-pools without activation
  const hw::Component* skipdma_load = nullptr;
  const hw::Component* skipdma_store_dual = nullptr;
};

// Fills facts.pool (a copy of the built pooling) and returns the pool size the NPs program.
uint8_t pool_size(const Layer& layer, const ConvCalculatedParams& conv, PoolingCalculatedParams& pool) {
  const auto type = static_cast<PoolType>(param_of(layer, "pool_type"));
  if (type == PoolType::NoPooling) return get_no_pooling_params(pool, conv.output_width, conv.output_height);
  const int32_t size = param_of(layer, "pool_size");
  if (type == PoolType::Average && size == kGlobalPoolSize) return 1;
  return static_cast<uint8_t>(size);
}

// The built convolution and pooling of a non-transposed form, and its stride.
void read_built_convolution(const Layer& layer, ConvFacts& facts) {
  const auto* conv = dynamic_cast<const HasConvParams*>(&layer);
  const auto* pool = dynamic_cast<const HasPoolParams*>(&layer);
  if (conv == nullptr || pool == nullptr) throw std::runtime_error(kMsgInvalidCnpLayerType);
  if (!conv->conv_params() || !pool->pool_params()) throw std::runtime_error(layer_not_built_message(layer.name()));
  facts.conv_padding = conv->conv_params()->padding;
  facts.pool = *pool->pool_params();
  facts.pool_size = pool_size(layer, *conv->conv_params(), facts.pool);
}

bool next_layer_max_pools(const Layer& layer) {
  const auto outbound = layer.outbound_layers();
  if (outbound.empty()) return false;
  const Layer& next = *outbound.front();
  return next.pooling_is(PoolType::Max) && !next.has_activation();
}

ConvFacts read_facts(const CnpConvForm& form, const Layer& layer, const LayerMapping& mapping) {
  ConvFacts facts;
  facts.routing = mesh_routing_lists(mapping);
  if (!form.transposed) read_built_convolution(layer, facts);
  facts.activation = static_cast<ActivationType>(param_of(layer, "activation"));
  facts.input = layer.input_dimensions().front();
  facts.kernel_size = param_of(layer, "kernel_size");
  if (!form.transposed) facts.kernel_stride = param_of(layer, "kernel_stride");
  // The doubled plane the transposed NPs produce is never pooled.
  if (form.transposed) facts.pool_size = get_no_pooling_params(facts.pool, 2 * facts.input[0], 2 * facts.input[1]);
  facts.input_bits = layer.input_bits();
  facts.output_bits = layer.output_bits();
  facts.next_max_pool = next_layer_max_pools(layer);
  facts.skipdma_load = mapping.skipdma_load();
  facts.skipdma_store_dual = mapping.skipdma_store_dual_output();
  return facts;
}

// The NP's window: the transposed split doubles it, the ordinary split pools it.
CnpSplitFields np_split(const CnpConvForm& form, const ConvFacts& facts, const NpAllocation& share) {
  if (form.transposed) return TransposedCnpSplit(share.spatial_partition, share.padded_partition);
  return NpSplit(facts.input, share.spatial_partition, share.padded_partition, facts.kernel_size, facts.kernel_stride,
                 facts.conv_padding, facts.pool_size, static_cast<uint8_t>(facts.pool.stride_x), facts.pool.padding);
}

std::vector<uint32_t> np_block(const CnpConvForm& form, const Layer& layer, const LayerMapping& mapping,
                               const ConvFacts& facts, const hw::Component& np,
                               const std::shared_ptr<Layer>& alt_layer, const NpBlockFlags& flags) {
  if (!np.allocation) throw std::invalid_argument(np_without_allocation_message(layer.name()));
  const NpAllocation& share = *np.allocation;
  const MergeLayerMapInfo* merge = mapping.merge_info.get();
  std::vector<uint32_t> block =
      default_np_regs(np, mapping.layer_id, flags.registers_only, merge != nullptr && merge->is_add);
  const NpRegisterBlock regs{block};
  const auto weights_bits =
      form.transposed ? kTransposedWeightsBits : static_cast<uint8_t>(param_of(layer, "weights_bits"));
  const CnpSplitFields split = np_split(form, facts, share);
  // The channel offset moves the filters only as the common configuration names them; a sum
  // beyond 32 bits saturates so that the field refuses it.
  const uint64_t first = uint64_t{share.start_neuron} + mapping.sram_output_shift.value_or(0);
  const auto first_neuron = static_cast<uint32_t>(std::min<uint64_t>(first, std::numeric_limits<uint32_t>::max()));

  format_cnp_tnp_common_config_registers(regs, split, facts.kernel_size, facts.kernel_stride, facts.activation,
                                         first_neuron, share.filters, weights_bits, *mapping.nps,
                                         share.single_buffer, form.transposed, facts.input_bits, facts.output_bits,
                                         merge, facts.skipdma_load, facts.skipdma_store_dual, flags.common_flag,
                                         !flags.registers_only);
  if (form.depthwise) {
    write_depthwise_containers(regs, split.window, facts.input_bits, facts.kernel_size, share.start_neuron,
                               share.filters, facts.input[2], weights_bits);
  } else {
    write_conv_containers(regs, split.window, facts.input_bits, facts.kernel_size, share.filters, weights_bits);
  }
  format_cnp_pooling_registers(regs, facts.input, share.spatial_partition, facts.pool_size,
                               static_cast<uint8_t>(facts.pool.stride_x), facts.pool.pool_flag, facts.pool.padding,
                               facts.next_max_pool);
  close_np_block(regs, mapping, facts.routing, np.ident, alt_layer.get(), flags);
  return block;
}

}  // namespace

const LayerMapping& cnp_layer_mapping(const Layer& layer) {
  const auto* mapping = dynamic_cast<const LayerMapping*>(layer.mapping().get());
  if (mapping == nullptr || !mapping->nps) throw std::invalid_argument(missing_layer_mapping_message(layer.name()));
  return *mapping;
}

NpRegisterMap format_cnp_conv_registers(const CnpConvForm& form, const Layer& layer, std::shared_ptr<Layer> alt_layer,
                                        bool ib_spikes, bool pr_flag, const std::vector<hw::Ident>& excluded_nps,
                                        bool registers_only, bool common_flag) {
  if (layer.params()->layer_type() != form.type) throw std::runtime_error(kMsgInvalidCnpLayerType);
  const LayerMapping& mapping = cnp_layer_mapping(layer);
  const ConvFacts facts = read_facts(form, layer, mapping);
  const NpBlockFlags flags{ib_spikes, pr_flag, registers_only, common_flag};

  NpRegisterMap blocks;
  for (const hw::Component& np : *mapping.nps) {
    if (std::find(excluded_nps.begin(), excluded_nps.end(), np.ident) != excluded_nps.end()) continue;
    blocks.insert_or_assign(np.ident, np_block(form, layer, mapping, facts, np, alt_layer, flags));
  }
  return blocks;
}

}  // namespace ornix::v2
