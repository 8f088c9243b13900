#include "mapping/conv_split.h"

#include "mapping/dimension_split.h"
#include "mapping/split_finish.h"
#include "mapping/split_limits.h"
#include "mapping/split_messages.h"

namespace ornix {

namespace {

enum class Groups { Filters, Channels };

SplitResult split_convolution(const Layer& layer, const CompatibilityChecker& checker, uint32_t max_height,
                              uint32_t max_width, uint32_t max_filters, hw::Type type, bool dual_only, Groups groups,
                              uint32_t max_nps) {
  SplitPlan plan;
  plan.is_tnp_b = layer.is_target_component(ComponentKind::TNP_B);
  if (!plan.is_tnp_b && !layer.is_target_component(ComponentKind::CNP)) {
    return split_failure(layer, kMsgNoHardwareComponent);
  }
  const LayerParams& params = *layer.params();
  plan.params = checker.np_split_params(type, params);
  const Shape input = layer.input_dimensions().at(0);
  plan.channels_per_group = groups == Groups::Channels;
  if (plan.channels_per_group) plan.params.filters = input[2];

  plan.height = find_dimension_split(layer, plan.params, max_height);
  if (plan.height.failed()) return split_failure(layer, kMsgCannotSplitByHeight);
  plan.width = split_dimension(input[0], max_width, split_alignment(plan.params));
  if (plan.width.failed()) return split_failure(layer, kMsgCannotSplitByWidth);
  plan.group_alignment = plan.channels_per_group && plan.is_tnp_b ? kTnpBChannelAlignment : 1;
  plan.fifo_size = static_cast<uint32_t>(params.has("fifo_size") ? params.get("fifo_size") : 0);
  plan.type = type;
  return finish_split(layer, checker, plan, max_filters, dual_only, max_nps);
}

}  // namespace

SplitResult split_conv_layer(const Layer& layer, const CompatibilityChecker& checker, uint32_t max_height,
                             uint32_t max_width, uint32_t max_filters, hw::Type type, bool dual_only,
                             uint32_t max_nps) {
  return split_convolution(layer, checker, max_height, max_width, max_filters, type, dual_only, Groups::Filters,
                           max_nps);
}

SplitResult split_depthwise_conv_layer(const Layer& layer, const CompatibilityChecker& checker, uint32_t max_height,
                                       uint32_t max_width, uint32_t max_filters, hw::Type type, bool dual_only,
                                       uint32_t max_nps) {
  return split_convolution(layer, checker, max_height, max_width, max_filters, type, dual_only, Groups::Channels,
                           max_nps);
}

namespace v2 {

uint32_t get_add_pksram_shift(const Layer& layer) {
  const auto inbounds = layer.inbound_layers();
  if (inbounds.empty()) return 0;
  return inbounds.front()->params()->layer_type() == LayerType::Add ? kAddReservedInputWords : 0;
}

}  // namespace v2
}  // namespace ornix
