// Placing one layer on the NP pool: its components, their skip-DMA channels, the choice of NPs,
// new passes and the rules of TNP-B layers.

#include "mapping/mesh_mapper.h"

#include <algorithm>
#include <cstddef>
#include <map>
#include <string>
#include <tuple>

#include "mapping/compatibility_checker.h"
#include "mapping/conv_split.h"
#include "mapping/map_constraints.h"
#include "mapping/messages.h"
#include "mapping/skipdma_requests.h"
#include "mapping/split_limits.h"
#include "mapping/split_messages.h"
#include "mapping/transposed_split.h"

namespace ornix {
namespace {

// The splitting of one family of convolutions, with the constraints' limits, over at most
// `max_nps` NPs.
using Splitter = SplitResult (*)(const Layer&, const CompatibilityChecker&, const MapConstraints&, hw::Type np_type,
                                 bool dual_only, uint32_t max_nps);

SplitResult split_plain(const Layer& layer, const CompatibilityChecker& checker, const MapConstraints& limits,
                        hw::Type np_type, bool dual_only, uint32_t max_nps) {
  return split_conv_layer(layer, checker, limits.cnp_max_height(), limits.cnp_max_width(), limits.cnp_max_filters(),
                          np_type, dual_only, max_nps);
}

SplitResult split_depthwise(const Layer& layer, const CompatibilityChecker& checker, const MapConstraints& limits,
                            hw::Type np_type, bool dual_only, uint32_t max_nps) {
  return split_depthwise_conv_layer(layer, checker, limits.cnp_max_height(), limits.cnp_max_width(),
                                    limits.cnp_max_filters(), np_type, dual_only, max_nps);
}

// A transposed convolution doubles its input plane: its pieces are capped at half the
// device's height and width.
uint32_t transposed_max_height(const MapConstraints& limits) {
  return std::min(limits.cnp_max_height(), limits.cnp_max_height_default() / 2);
}
uint32_t transposed_max_width(const MapConstraints& limits) {
  return std::min(limits.cnp_max_width(), limits.cnp_max_width_default() / 2);
}

SplitResult split_transposed(const Layer& layer, const CompatibilityChecker& checker, const MapConstraints& limits,
                             hw::Type, bool dual_only, uint32_t max_nps) {
  return split_transposed_conv2d_layer(layer, checker, transposed_max_height(limits), transposed_max_width(limits),
                                       limits.cnp_max_filters(), dual_only, max_nps);
}

SplitResult split_transposed_depthwise(const Layer& layer, const CompatibilityChecker& checker,
                                       const MapConstraints& limits, hw::Type, bool dual_only, uint32_t max_nps) {
  return split_transposed_dwconv2d_layer(layer, checker, transposed_max_height(limits), transposed_max_width(limits),
                                         limits.cnp_max_filters(), dual_only, max_nps);
}

// Null for a layer that is not a convolution.
Splitter splitter_of(LayerType type) {
  switch (type) {
    case LayerType::Convolutional:
    case LayerType::SeparableConvolutional:
    case LayerType::Conv2D:
    case LayerType::BufferTempConv:
      return split_plain;
    case LayerType::DepthwiseConv2D:
    case LayerType::DepthwiseBufferTempConv:
      return split_depthwise;
    case LayerType::Conv2DTranspose:
      return split_transposed;
    case LayerType::DepthwiseConv2DTranspose:
      return split_transposed_depthwise;
    default:
      return nullptr;
  }
}

bool is_fully_connected(LayerType type) { return type == LayerType::FullyConnected || type == LayerType::Dense1D; }

bool is_skip_dma(hw::Type type) { return type == hw::Type::SKIP_DMA_STORE || type == hw::Type::SKIP_DMA_LOAD; }

// The one NP of a fully connected layer: all its filters over its whole first input.
hw::Component fnp_component(const Layer& layer, hw::Type type) {
  const NpSpace whole{0, 0, layer.input_dimensions().at(0)};
  const auto units = static_cast<uint32_t>(param_of(layer, "units"));
  return {type, hw::Ident{}, NpAllocation{0, units, whole, whole, true}, MemoryInfo{}};
}

using NeededCounts = std::map<hw::Type, size_t>;

// For each required type, how many of the components are of that type.
NeededCounts count_needs(const std::vector<hw::Type>& types, const std::vector<hw::Component>& components) {
  NeededCounts needed;
  for (const hw::Type type : types) {
    needed[type] = static_cast<size_t>(std::count_if(components.begin(), components.end(),
                                                     [type](const hw::Component& c) { return c.type == type; }));
  }
  return needed;
}

// A TNP-B layer spread over several NPs (more than its one store and one load besides) may
// cut its filters only in multiples of 4 when its NPs do not all read every input channel.
bool splits_tnp_b_filters_unevenly(const Layer& layer, const std::vector<hw::Component>& components) {
  const auto uneven = std::find_if(components.begin(), components.end(), [](const hw::Component& c) {
    return c.type == hw::Type::TNP_B && hw::np_share_or_default(c).filters % kTnpBChannelAlignment != 0;
  });
  if (uneven == components.end()) return false;
  const bool several_nps = layer.is_target_component(ComponentKind::TNP_B) && components.size() > 3;
  return several_nps && hw::np_share_or_default(components.front()).spatial_partition.shape[2] !=
                            layer.input_dimensions().at(0)[2];
}

}  // namespace

PlacementResult MeshMapper::map_layer(const std::shared_ptr<Layer>& layer, const std::vector<hw::Ident>& reserved_nps,
                                      bool dual_only, bool* new_pass, bool allow_new_pass,
                                      const std::vector<std::shared_ptr<Layer>>& layers) {
  const Layer& current = *layer;
  LayerMappingStatus status(current);
  *new_pass = false;
  constraints_.next_layer_handler(current.name());
  reserve_nps(reserved_nps);

  // The required types (the NP type first; none when no component serves the layer) and the
  // components, with zero idents.
  std::vector<hw::Type> types;
  std::vector<hw::Component> components;
  const LayerType layer_type = current.params()->layer_type();
  if (const Splitter split = splitter_of(layer_type)) {
    types = layer_required_types(layer, layers);
    // A convolution that runs on neither a CNP nor a TNP-B has no NP type to split for.
    const bool has_np_type =
        !types.empty() && (types.front() == hw::Type::CNP1 || types.front() == hw::Type::TNP_B);
    if (!has_np_type) return {components, LayerMappingError(current, kMsgNoHardwareComponent)};
    const uint32_t cap = split_cap(layer, types, layers, allow_new_pass);
    std::tie(components, status) = split(current, checker_, constraints_, types.front(), dual_only, cap);
    request_skipdma(&components, types, layer, layers);
  } else if (is_fully_connected(layer_type)) {
    const hw::Type fnp_type = get_compatible_fnp_type(current);
    if (fnp_type != hw::Type::None) {
      types = {fnp_type};
      components = {fnp_component(current, fnp_type)};
    }
  }
  if (types.empty()) return {components, LayerMappingError(current, kMsgNoHardwareComponent)};
  if (!status.success()) return {components, status};

  const NeededCounts needed = count_needs(types, components);
  const auto stores = std::count_if(components.begin(), components.end(),
                                    [](const hw::Component& c) { return c.type == hw::Type::SKIP_DMA_STORE; });
  if (stores > 1) return {components, LayerMappingError(current, kMsgTwoSkipDmaStores)};
  for (const hw::Type type : types) {
    const size_t usable = allow_new_pass ? max_nps(type) : available_nps(type).size();
    if (needed.at(type) > usable) {
      return {components, NpsMappingError(current.name(), hw::to_string(type), needed.at(type), usable)};
    }
  }
  for (const hw::Type type : types) {
    if (needed.at(type) <= available_nps(type).size()) continue;
    deallocate_nps();
    *new_pass = true;
    if (current.is_target_component(ComponentKind::TNP_B)) {
      return {components, LayerMappingError(current, kMsgTnpBFirstInPass)};
    }
    break;
  }

  for (;;) {
    status = assign_nps(current, types, needed, &components);
    if (!status.success()) break;
    const bool pass_opened_before = *new_pass;
    status = sanitize_tnp_b(current, new_pass, allow_new_pass);
    if (status.success()) break;
    // Only a pass the check has just opened gets a second selection.
    if (pass_opened_before || !*new_pass) return {components, status};
  }
  if (splits_tnp_b_filters_unevenly(current, components)) status = LayerMappingError(current, kMsgTnpBChannelSplit);
  return {components, status};
}

uint32_t MeshMapper::split_cap(const std::shared_ptr<Layer>& layer, const std::vector<hw::Type>& types,
                               const std::vector<std::shared_ptr<Layer>>& layers, bool allow_new_pass) {
  // Two skip-DMA stores are refused before the NP count is compared: no cap then.
  const bool stores = std::find(types.begin(), types.end(), hw::Type::SKIP_DMA_STORE) != types.end();
  if (stores && request_skipdma_store(layer, layers).size() > 1) return kUncappedNps;
  const size_t usable = allow_new_pass ? max_nps(types.front()) : available_nps(types.front()).size();
  return static_cast<uint32_t>(std::min<size_t>(usable, kUncappedNps));
}

LayerMappingStatus MeshMapper::assign_nps(const Layer& layer, const std::vector<hw::Type>& types,
                                          const std::map<hw::Type, size_t>& needed,
                                          std::vector<hw::Component>* components) {
  for (const hw::Type type : types) {
    const size_t need = needed.at(type);
    const std::vector<hw::Ident> offered = available_nps(type);
    const std::vector<hw::Ident> chosen = constraints_.select_nps(offered, need, type);
    if (chosen.size() != need) return NpsMappingError(layer.name(), hw::to_string(type), need, chosen.size());
    // An override may answer anything: each choice must be one of the offered, once.
    for (auto at = chosen.begin(); at != chosen.end(); ++at) {
      if (std::find(offered.begin(), offered.end(), *at) == offered.end()) {
        return LayerMappingError(layer, selected_np_not_offered_message(hw::to_string(type), *at));
      }
      if (std::find(chosen.begin(), at, *at) != at) {
        return LayerMappingError(layer, selected_np_repeated_message(hw::to_string(type), *at));
      }
    }
    auto next = chosen.begin();
    for (hw::Component& component : *components) {
      if (component.type != type) continue;
      component.ident = *next++;
      allocate_np(component.ident, is_skip_dma(type) ? type : hw::Type::None);
    }
  }
  return LayerMappingStatus(std::string{});
}

LayerMappingStatus MeshMapper::sanitize_tnp_b(const Layer& layer, bool* new_pass, bool allow_new_pass) {
  const LayerMappingStatus not_concerned(std::string{});
  if (layer.is_target_component(ComponentKind::TNP_B)) return not_concerned;
  const std::vector<std::shared_ptr<Layer>> outbounds = layer.outbound_layers();
  if (outbounds.size() != 1 || !outbounds.front()->is_target_component(ComponentKind::TNP_B)) return not_concerned;

  const Layer& successor = *outbounds.front();
  const Splitter split = successor.params()->layer_type() == LayerType::BufferTempConv ? split_plain : split_depthwise;
  // Its split's outcome does not matter here: its own placement reports it.
  const size_t successor_nps =
      std::get<0>(split(successor, checker_, constraints_, hw::Type::TNP_B, false, kUncappedNps)).size();
  const std::vector<NpSlot>& tnp_bs = slots_[hw::Type::TNP_B];
  // What the current layer keeps away from itself stays usable by its successor.
  const auto kept_back = static_cast<size_t>(
      std::count_if(tnp_bs.begin(), tnp_bs.end(), [](const NpSlot& slot) { return slot.reserved && !slot.allocated; }));
  if (!available_nps(hw::Type::SKIP_DMA_STORE).empty() && !available_nps(hw::Type::SKIP_DMA_LOAD).empty() &&
      kept_back + available_nps(hw::Type::TNP_B).size() >= successor_nps) {
    return LayerMappingStatus(std::string{});
  }
  if (allow_new_pass && !*new_pass) {
    deallocate_nps();
    *new_pass = true;
  }
  return LayerMappingError(layer, next_tnp_b_does_not_fit_message(successor.name()));
}

}  // namespace ornix
