#include "backend/v1/cnp_constraints.h"

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <stdexcept>

#include "backend/v1/checker_limits.h"
#include "backend/v1/checker_messages.h"
#include "backend/v1/cnp_limits.h"
#include "backend/v1/cnp_weight_sizes.h"
#include "backend/v1/compatibility_checker.h"
#include "backend/v1/conv_params.h"
#include "backend/v1/fnp_messages.h"
#include "backend/v1/neuron_value_rules.h"
#include "backend/v1/rule_status.h"
#include "backend/v1/weight_format_limits.h"
#include "hardware/known_versions.h"
#include "ornix/layer_geometry.h"
#include "ornix/layers/convolution_v1.h"
#include "ornix/tensor.h"

namespace ornix::v1 {

namespace {

constexpr int32_t value_of(PoolType type) { return static_cast<int32_t>(type); }

// The convolution and pooling an engine convolution computed when it joined its model.
struct BuiltGeometry {
  const ConvCalculatedParams& conv;
  const PoolingCalculatedParams& pool;
};

BuiltGeometry built_geometry(const PooledConvolution& layer) {
  if (!layer.conv_params() || !layer.pool_params()) throw std::runtime_error(layer_not_built_message(layer.name()));
  return {*layer.conv_params(), *layer.pool_params()};
}

// Max pooling of size p (the pooling width as a byte): 1, 2 or 3 (not 3 on Vamo_v2), square,
// equal built strides no larger than p, p within the input.
LayerMappingStatus check_max_pooling(const Layer& layer, const ConvParams& params, const PoolingCalculatedParams& pool,
                                     const Shape& input, HwVersion version) {
  const auto size = static_cast<uint8_t>(params.pooling_width);
  LayerMappingStatus status(layer);
  merge_rules(status, {
                          rule_status(layer, is_one_of(kMaxPoolSizes, size), kMsgMaxPoolSize),
                          rule_status(layer, version != kVamoV2 || size != kMaxPoolSizeRefusedOnVamoV2,
                                      kMsgMaxPoolSize3OnVamoV2),
                          rule_status(layer, params.pooling_height == size, kMsgPoolNotSquare),
                          rule_status(layer, pool.stride_x == pool.stride_y, kMsgPoolStridesDiffer),
                          rule_status(layer, pool.stride_x <= size, kMsgPoolStrideAboveSize),
                          rule_status(layer, uint32_t{size} <= input[0] && uint32_t{size} <= input[1],
                                      kMsgPoolAboveInput),
                      });
  return status;
}

// Only global average pooling, of an input at most 32 wide, after at least 3 rows of
// convolution output, with the whole input in the NP's input memory.
LayerMappingStatus check_average_pooling(const Layer& layer, const ConvParams& params,
                                         const ConvCalculatedParams& conv, const Shape& input) {
  const uint64_t input_words =
      get_cnp_input_sram_size(get_cnp_channel_container_size(input[0], layer.input_bits()), input[2], input[1]);
  LayerMappingStatus status(layer);
  merge_rules(status, {
                          rule_status(layer, params.pooling_width == kGlobalPoolSize, kMsgAveragePoolNotGlobal),
                          rule_status(layer, input[0] <= kAveragePoolMaxInputWidth,
                                      average_pool_input_width_message(kAveragePoolMaxInputWidth)),
                          rule_status(layer, conv.output_rows >= kAveragePoolMinConvRows,
                                      average_pool_conv_rows_message(kAveragePoolMinConvRows, conv.output_rows)),
                          rule_status(layer, input_words <= kAveragePoolMaxInputWords, kMsgAveragePoolSplit),
                      });
  return status;
}

// The limits both CNP forms share: input size, filters, square kernel, equal strides of 1 or
// 2 (2 only with a 3x3 kernel), Same padding, then the pooling's own limits.
LayerMappingStatus check_cnp_common_constraints(const Layer& layer, const ConvParams& params,
                                                const BuiltGeometry& geometry, HwVersion version) {
  const Shape input = layer.input_dimensions().at(0);
  LayerMappingStatus status = check_cnp_input_size(layer, input);
  merge_rules(status,
              {
                  rule_status(layer, params.filters <= kCnpMaxFilters,
                              max_filters_message(kCnpMaxFilters, params.filters)),
                  rule_status(layer, params.kernel_width == params.kernel_height, kMsgKernelNotSquare),
                  rule_status(layer, params.stride_x == params.stride_y, kMsgStridesDiffer),
                  rule_status(layer, params.stride_x <= kCnpMaxStride, kMsgStrideTooLarge),
                  rule_status(layer, params.stride_x != kCnpMaxStride || params.kernel_width == kCnpStride2KernelSize,
                              kMsgStride2Kernel),
                  rule_status(layer, params.padding == static_cast<int32_t>(Padding::Same), kMsgPaddingNotSame),
              });
  if (params.pool_type == value_of(PoolType::Max)) {
    merge_mapping_status(status, check_max_pooling(layer, params, geometry.pool, input, version));
  } else if (params.pool_type == value_of(PoolType::Average)) {
    merge_mapping_status(status, check_average_pooling(layer, params, geometry.conv, input));
  }
  return status;
}

LayerMappingStatus check_filter_fits(const HardwareConstraints& constraints, const Layer& layer) {
  return rule_status(layer, check_weights_size_fit_cnp(constraints, layer, 1), kMsgFilterTooBig);
}

// A separable layer's kernel set must hold a non-zero value.
LayerMappingStatus check_weights_not_all_zero(const Layer& layer, const Dense& weights) {
  const int8_t* values = weights.data<int8_t>();
  const bool all_zero = std::all_of(values, values + weights.size(), [](int8_t value) { return value == 0; });
  return rule_status(layer, !all_zero, kMsgSepWeightsAllZero);
}

// The range of weight values the layer's weight format stores as they are.
struct WeightRange {
  int32_t low;
  int32_t high;
};

WeightRange std_cnp_weight_range(const ConvParams& params) {
  if (params.weights_bits == kWeights4Bit) return {-kStdCnpFourBitMax, kStdCnpFourBitMax};
  const bool negatives = params.weights_bits == kWeights2Bit || params.kernel_width == kStdCnpTwoPlaneKernel;
  return {negatives ? -kOneBitWeightMax : kOneBitWeightMin, kOneBitWeightMax};
}

WeightRange sep_cnp_weight_range(const ConvParams& params) {
  const int32_t half = int32_t{1} << (params.weights_bits - 1);
  return {-half, half - 1};
}

// What the CNP's registers and memories take as given: input bits of 1, 2 or 4, its act_bits,
// weights its format stores as they are, and (with an activation) thresholds and steps within
// their 20-bit fields; steps are written without an activation too.
LayerMappingStatus check_cnp_recorded_values(const Layer& layer, std::initializer_list<const Dense*> weights,
                                             WeightRange range) {
  LayerMappingStatus status = rule_status(layer, is_one_of(kNpInputBits, layer.input_bits()), kMsgInputBits);
  merge_mapping_status(status, check_act_bits(layer));
  for (const Dense* tensor : weights) {
    if (status.success()) merge_mapping_status(status, check_weights_within(layer, *tensor, range.low, range.high));
  }
  if (status.success() && layer.has_activation()) {
    merge_mapping_status(status, check_thresholds_fit(layer, kCnpThresholdBits));
  }
  if (status.success()) merge_mapping_status(status, check_act_steps_fit(layer, kCnpMaxStep, fnp_act_step_message));
  return status;
}

}  // namespace

LayerMappingStatus check_cnp_input_size(const Layer& layer, const Shape& input) {
  LayerMappingStatus status(layer);
  merge_rules(status, {
                          rule_status(layer, input[0] <= kCnpMaxInputWidth,
                                      max_input_width_message(kCnpMaxInputWidth, input[0])),
                          rule_status(layer, input[1] <= kCnpMaxInputHeight,
                                      max_input_height_message(kCnpMaxInputHeight, input[1])),
                          rule_status(layer, input[2] <= kCnpMaxInputChannels,
                                      max_input_channels_message(kCnpMaxInputChannels, input[2])),
                      });
  return status;
}

LayerMappingStatus CompatibilityCheckerImpl::check_std_cnp_constraints(const Layer& layer, HwVersion version) const {
  const BuiltGeometry geometry = built_geometry(dynamic_cast<const Convolutional&>(layer));
  const ConvParams params = read_conv_params(layer);
  LayerMappingStatus status = check_cnp_common_constraints(layer, params, geometry, version);
  if (!status.success()) return status;
  merge_rules(status, {
                          rule_status(layer, is_one_of(kStdCnpKernelSizes, params.kernel_width), kMsgStdKernelSize),
                          rule_status(layer, is_one_of(kStdCnpWeightsBits, params.weights_bits), kMsgStdWeightsBits),
                      });
  if (!status.success()) return status;
  merge_mapping_status(status, check_filter_fits(*constraints, layer));
  if (status.success()) {
    const auto weights = layer.variables().get("weights");
    merge_mapping_status(status, check_cnp_recorded_values(layer, {weights.get()}, std_cnp_weight_range(params)));
  }
  return status;
}

LayerMappingStatus CompatibilityCheckerImpl::check_sep_cnp_constraints(const Layer& layer, HwVersion version) const {
  const BuiltGeometry geometry = built_geometry(dynamic_cast<const SeparableConvolutional&>(layer));
  const auto depthwise = layer.variables().get("weights");
  const auto pointwise = layer.variables().get("weights_pw");
  const ConvParams params = read_conv_params(layer);
  LayerMappingStatus status = check_cnp_common_constraints(layer, params, geometry, version);
  if (!status.success()) return status;
  const Shape input = layer.input_dimensions().at(0);
  const bool average_of_1x1 =
      params.pool_type == value_of(PoolType::Average) && input[0] == 1 && input[1] == 1;
  merge_rules(status, {
                          rule_status(layer, is_one_of(kSepCnpKernelSizes, params.kernel_width), kMsgSepKernelSize),
                          rule_status(layer, is_one_of(kSepCnpWeightsBits, params.weights_bits), kMsgSepWeightsBits),
                          rule_status(layer, !average_of_1x1, kMsgSepAveragePool1x1),
                      });
  if (!status.success()) return status;
  merge_mapping_status(status, check_filter_fits(*constraints, layer));
  merge_mapping_status(status, check_weights_not_all_zero(layer, *depthwise));
  if (status.success()) merge_mapping_status(status, check_weights_not_all_zero(layer, *pointwise));
  if (status.success()) {
    merge_mapping_status(status, check_cnp_recorded_values(layer, {depthwise.get(), pointwise.get()},
                                                         sep_cnp_weight_range(params)));
  }
  return status;
}

}  // namespace ornix::v1
