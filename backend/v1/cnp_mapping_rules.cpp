#include <algorithm>
#include <cstdint>
#include <vector>

#include "backend/v1/checker_limits.h"
#include "backend/v1/checker_messages.h"
#include "backend/v1/compatibility_checker.h"
#include "backend/v1/conv_params.h"
#include "hardware/known_versions.h"

namespace ornix::v1 {

namespace {

constexpr int32_t kMaxPool = static_cast<int32_t>(PoolType::Max);

// Some NP's window does not start at the input's origin: the layer is split spatially.
bool is_split_spatially(const std::vector<hw::Component>& components) {
  return std::any_of(components.begin(), components.end(), [](const hw::Component& component) {
    const NpSpace window = hw::np_share_or_default(component).spatial_partition;
    return window.x != 0 || window.y != 0;
  });
}

// A spatially split layer with max pooling: each pooling window must stay within one NP's
// window, so no pooling size above its stride.
LayerMappingStatus check_max_pool_spatial_split(const Layer& layer, const std::vector<hw::Component>& components) {
  LayerMappingStatus status(layer);
  const ConvParams params = read_conv_params(layer);
  if (!is_split_spatially(components) || params.pool_type != kMaxPool) return status;
  if (params.pooling_width > effective_pool_stride(params.pooling_stride_x, params.pooling_width) ||
      params.pooling_height > effective_pool_stride(params.pooling_stride_y, params.pooling_height)) {
    merge_mapping_status(status, LayerMappingError(layer, kMsgPoolSizeAboveStrideSplit));
  }
  return status;
}

// Vamo_v2 with one input channel and more than 16 filters: each NP takes an even number of
// groups of 8 filters; one line per NP that does not.
LayerMappingStatus check_one_channel_filter_groups(const Layer& layer, const ConvParams& params,
                                                   const std::vector<hw::Component>& components) {
  LayerMappingStatus status(layer);
  if (layer.input_dimensions().at(0)[2] != 1 || params.filters <= kOneChannelFiltersWithoutGroupRule) {
    return status;
  }
  for (const hw::Component& component : components) {
    const uint64_t filters = hw::np_share_or_default(component).filters;
    const uint64_t groups = (filters + kOneChannelFilterGroup - 1) / kOneChannelFilterGroup;
    if (groups % 2 != 0) merge_mapping_status(status, LayerMappingError(layer, kMsgOneChannelOddFilterGroups));
  }
  return status;
}

}  // namespace

LayerMappingStatus check_std_cnp_mappings(const Layer& layer, const std::vector<hw::Component>& components,
                                          HwVersion version) {
  const ConvParams params = read_conv_params(layer);
  LayerMappingStatus status(layer);
  const bool strided = params.stride_x > 1 || params.stride_y > 1;
  if (strided && params.pool_type == kMaxPool && is_split_spatially(components)) {
    merge_mapping_status(status, LayerMappingError(layer, kMsgStrideWithMaxPoolSplit));
  }
  merge_mapping_status(status, check_max_pool_spatial_split(layer, components));
  if (status.success() && version == kVamoV2) {
    merge_mapping_status(status, check_one_channel_filter_groups(layer, params, components));
  }
  return status;
}

LayerMappingStatus check_sep_cnp_mappings(const Layer& layer, const std::vector<hw::Component>& components) {
  return check_max_pool_spatial_split(layer, components);
}

}  // namespace ornix::v1
