#include "mapping/transposed_split.h"

#include "mapping/dimension_split.h"
#include "mapping/split_finish.h"
#include "mapping/split_limits.h"
#include "mapping/split_messages.h"

namespace ornix {

namespace {

enum class Groups { Filters, Channels };

SplitResult split_transposed(const Layer& layer, const CompatibilityChecker& checker, uint32_t max_height,
                             uint32_t max_width, uint32_t max_filters, bool dual_only, Groups groups,
                             uint32_t max_nps) {
  const int32_t kernel_size = param_of(layer, "kernel_size");
  // Below 3 the columns a piece reads after it would be negative.
  if (kernel_size < kTransposedSmallestKernel) return split_failure(layer, kMsgTransposedKernelTooSmall);
  const Shape input = layer.input_dimensions().at(0);
  SplitPlan plan;
  plan.channels_per_group = groups == Groups::Channels;
  const auto after = static_cast<uint32_t>(kernel_size - kTransposedSmallestKernel);
  const uint32_t filters = plan.channels_per_group ? input[2] : static_cast<uint32_t>(param_of(layer, "filters"));
  plan.params = NpSplitParams{1, after, 1, after, 0, 0, 0, filters};

  plan.height = find_dimension_split(layer, plan.params, max_height);
  if (plan.height.splits != 1 || plan.height.split_size == 0) {
    return split_failure(layer, kMsgSplitByHeightNotSupported);
  }
  plan.width = split_dimension(input[0], max_width, 1);
  if (plan.width.failed()) return split_failure(layer, kMsgCannotSplitByWidth);
  plan.is_tnp_b = layer.is_target_component(ComponentKind::TNP_B);
  plan.group_alignment = plan.channels_per_group && plan.is_tnp_b ? kTnpBChannelAlignment : 1;
  plan.type = hw::Type::CNP1;
  plan.allow_height_split = false;
  return finish_split(layer, checker, plan, max_filters, dual_only, max_nps);
}

}  // namespace

SplitResult split_transposed_conv2d_layer(const Layer& layer, const CompatibilityChecker& checker,
                                          uint32_t max_height, uint32_t max_width, uint32_t max_filters,
                                          bool dual_only, uint32_t max_nps) {
  return split_transposed(layer, checker, max_height, max_width, max_filters, dual_only, Groups::Filters, max_nps);
}

SplitResult split_transposed_dwconv2d_layer(const Layer& layer, const CompatibilityChecker& checker,
                                            uint32_t max_height, uint32_t max_width, uint32_t max_filters,
                                            bool dual_only, uint32_t max_nps) {
  return split_transposed(layer, checker, max_height, max_width, max_filters, dual_only, Groups::Channels, max_nps);
}

}  // namespace ornix
