#include "backend/v1/hrc_constraints.h"

#include <algorithm>
#include <cstdint>

#include "backend/v1/checker_limits.h"
#include "backend/v1/checker_messages.h"
#include "backend/v1/conv_params.h"
#include "backend/v1/hrc_registers.h"
#include "backend/v1/neuron_value_rules.h"
#include "backend/v1/rule_status.h"
#include "ornix/tensor.h"

namespace ornix::v1 {

namespace {

constexpr int32_t value_of(PoolType type) { return static_cast<int32_t>(type); }

bool in_range(int32_t value, int32_t min, int32_t max) { return value >= min && value <= max; }

// The input frame the layer's parameters describe.
struct HrcInput {
  int32_t width;
  int32_t height;
  int32_t channels;
};

// Most filters for the kernel size and channel count; 0 for a size the HRC does not serve.
int32_t max_filters(uint8_t kernel, int32_t channels) {
  const auto& table = channels == kHrcOneChannel ? kHrcMaxFiltersOneChannel : kHrcMaxFiltersThreeChannels;
  const int index = kernel - kHrcFirstKernelSize;
  return index >= 0 && index < static_cast<int>(table.size()) ? table[static_cast<size_t>(index)] : 0;
}

// Fewest input rows: with a Valid padding the kernel height plus the vertical stride, never
// fewer than 5. The sum is taken in 64 bits, as both terms may reach INT32_MAX.
int64_t min_input_height(const ConvParams& params) {
  if (params.padding != static_cast<int32_t>(Padding::Valid)) return kHrcMinInputSize;
  return std::max(int64_t{params.kernel_height} + params.stride_y, int64_t{kHrcMinInputSize});
}

LayerMappingStatus check_filters(const Layer& layer, const ConvParams& params, int32_t channels) {
  const int32_t max = max_filters(static_cast<uint8_t>(params.kernel_width), channels);
  return rule_status(layer, params.filters >= 1 && params.filters <= max, hrc_filters_message(max));
}

LayerMappingStatus check_valid_padding_height(const Layer& layer, const ConvParams& params, const HrcInput& input) {
  const bool short_input = params.padding == static_cast<int32_t>(Padding::Valid) &&
                           input.height < min_input_height(params);
  return rule_status(layer, !short_input,
                     hrc_valid_padding_height_message(static_cast<uint8_t>(params.kernel_width), params.stride_y,
                                                      min_input_height(params)));
}

// Max pooling: sizes 1 or 2, strides equal to the sizes (a negative stride is the size), and
// at least 2 output rows.
LayerMappingStatus check_max_pooling(const Layer& layer, const ConvParams& params) {
  const int32_t stride_x = effective_pool_stride(params.pooling_stride_x, params.pooling_width);
  const int32_t stride_y = effective_pool_stride(params.pooling_stride_y, params.pooling_height);
  LayerMappingStatus status(layer);
  merge_rules(status, {
                          rule_status(layer, in_range(params.pooling_height, kHrcMinPoolSize, kHrcMaxPoolSize),
                                      kMsgHrcPoolingY),
                          rule_status(layer, in_range(params.pooling_width, kHrcMinPoolSize, kHrcMaxPoolSize),
                                      kMsgHrcPoolingX),
                          rule_status(layer, stride_x == params.pooling_width && stride_y == params.pooling_height,
                                      kMsgHrcPoolStride),
                          rule_status(layer, layer.output_dimensions()[1] >= kHrcMinPooledOutputHeight,
                                      kMsgHrcPooledHeight),
                      });
  return status;
}

LayerMappingStatus check_weights_not_all_zero(const Layer& layer) {
  const auto weights = layer.variables().get("weights");
  const int8_t* values = weights->data<int8_t>();
  const bool all_zero = std::all_of(values, values + weights->size(), [](int8_t value) { return value == 0; });
  return rule_status(layer, !all_zero, kMsgHrcWeightsAllZero);
}

}  // namespace

LayerMappingStatus check_hrc_constraints(const Layer& layer) {
  const ConvParams params = read_conv_params(layer);
  const HrcInput input{param_of(layer, "input_width"), param_of(layer, "input_height"),
                       param_of(layer, "input_channels")};
  const auto kernel = static_cast<uint8_t>(params.kernel_width);
  const bool activated = params.activation != 0;

  LayerMappingStatus status(layer);
  merge_rules(status, {
                          rule_status(layer, params.kernel_height == params.kernel_width, kMsgHrcKernelNotSquare),
                          rule_status(layer, is_one_of(kHrcKernelSizes, kernel), kMsgHrcKernelSize),
                          rule_status(layer, !activated || is_one_of(kActBits, params.act_bits), kMsgHrcActBits),
                          rule_status(layer, is_one_of(kHrcInputChannels, input.channels), kMsgHrcInputChannels),
                          rule_status(layer, in_range(params.stride_x, kHrcMinStride, kHrcMaxStride), kMsgHrcStrideX),
                          rule_status(layer, in_range(params.stride_y, kHrcMinStride, kHrcMaxStride), kMsgHrcStrideY),
                          check_filters(layer, params, input.channels),
                          check_valid_padding_height(layer, params, input),
                          rule_status(layer, input.height >= min_input_height(params),
                                      hrc_min_height_message(min_input_height(params))),
                          rule_status(layer, input.width >= kHrcMinInputSize, hrc_min_width_message(kHrcMinInputSize)),
                          rule_status(layer, input.width >= kernel, kMsgHrcWidthBelowKernel),
                          rule_status(layer, input.height <= kHrcMaxInputHeight,
                                      hrc_max_height_message(kHrcMaxInputHeight, input.height)),
                          rule_status(layer, params.pool_type != value_of(PoolType::Average), kMsgHrcAveragePool),
                      });
  if (params.pool_type == value_of(PoolType::Max)) merge_mapping_status(status, check_max_pooling(layer, params));
  const int32_t padding_value = param_of(layer, "padding_value");
  merge_rules(status, {
                          rule_status(layer, activated, kMsgHrcNoActivation),
                          check_weights_not_all_zero(layer),
                          rule_status(layer, in_range(padding_value, 0, kHrcMaxPaddingValue),
                                      hrc_padding_value_message(kHrcMaxPaddingValue, padding_value)),
                      });
  if (status.success()) merge_mapping_status(status, check_act_steps_fit(layer, kHrcMaxStepT16, hrc_act_step_message));
  if (status.success()) merge_mapping_status(status, check_thresholds_fit(layer, kHrcThresholdBits));
  return status;
}

}  // namespace ornix::v1
