// check_pooling_constraints, declared with the other shared convolution rules.
#include "backend/v2/conv_rules.h"

#include "backend/v2/checker_limits.h"
#include "backend/v2/conv_constraint_limits.h"
#include "backend/v2/conv_constraint_messages.h"
#include "ornix/layer_geometry.h"

namespace ornix::v2 {

namespace {

LayerMappingStatus check_max_pooling(const Layer& layer, const PoolingCalculatedParams& pool, const Shape& input) {
  const int32_t size = param_of(layer, "pool_size");
  LayerMappingStatus status(layer);
  merge_mapping_status(status, check_value_in(layer, size, kMaxPoolSizes, kMsgMaxPoolSize));
  merge_mapping_status(status, check_rule(layer, pool.stride_x != pool.stride_y, kMsgPoolStridesDiffer));
  merge_mapping_status(status, check_rule(layer, int64_t{input[0]} < size || int64_t{input[1]} < size,
                                          kMsgPoolLargerThanInput));
  merge_mapping_status(status, check_rule(layer, layer.activation_is(ActivationType::LUT), kMsgMaxPoolWithLut));
  return status;
}

// 32-bit words the whole input takes in the input memory: each channel's row padded to whole
// words.
uint64_t whole_input_words(const Shape& input, uint32_t input_bits) {
  const uint64_t row_bytes = (uint64_t{input_bits} * input[0] + 7) / 8;
  const uint64_t padded_row_bytes = (row_bytes + kCnpRowAlignBytes - 1) / kCnpRowAlignBytes * kCnpRowAlignBytes;
  return padded_row_bytes * input[2] / kCnpRowAlignBytes * input[1];
}

LayerMappingStatus check_global_average_pooling(const HardwareConstraints& constraints, const Layer& layer,
                                                const ConvCalculatedParams& conv, const Shape& input) {
  LayerMappingStatus status(layer);
  merge_mapping_status(status, check_rule(layer, layer.output_bits() > kAveragePoolOutputMaxBits,
                                          kMsgAveragePoolOutput));
  merge_mapping_status(status, check_rule(layer, param_of(layer, "pool_size") != kGlobalPoolSize,
                                          kMsgAveragePoolNotGlobal));
  merge_mapping_status(status, check_rule(layer, input[0] > kGlobalPoolMaxInputWidth,
                                          global_pool_width_message(kGlobalPoolMaxInputWidth)));
  merge_mapping_status(status, check_rule(layer, conv.output_rows < kGlobalPoolMinConvRows,
                                          global_pool_rows_message(kGlobalPoolMinConvRows, conv.output_rows)));
  merge_mapping_status(status, check_rule(layer, uint64_t{input[0]} * input[1] > kGlobalPoolMaxInputArea,
                                          global_pool_area_message(kGlobalPoolMaxInputArea)));
  merge_mapping_status(status, check_rule(layer,
                                          constraints.input_sram_single_buffer_size <
                                              whole_input_words(input, layer.input_bits()),
                                          kMsgGlobalPoolSpatialSplit));
  return status;
}

}  // namespace

LayerMappingStatus check_pooling_constraints(const HardwareConstraints& constraints, const Layer& layer) {
  const auto& conv = dynamic_cast<const HasConvParams&>(layer);
  const auto& pool = dynamic_cast<const HasPoolParams&>(layer);
  const int32_t pool_type = param_of(layer, "pool_type");
  LayerMappingStatus status(layer);
  if (pool_type == static_cast<int32_t>(PoolType::NoPooling)) return status;

  merge_mapping_status(status, check_rule(layer, param_of(layer, "kernel_stride") > kMaxStrideWithPooling,
                                          kMsgPoolingWithStride));
  const Shape input = layer.input_dimensions().at(0);
  if (pool_type == static_cast<int32_t>(PoolType::Max)) {
    merge_mapping_status(status, check_max_pooling(layer, pool.pool_params().value(), input));
  } else if (pool_type == static_cast<int32_t>(PoolType::Average)) {
    merge_mapping_status(status, check_global_average_pooling(constraints, layer, conv.conv_params().value(), input));
  }
  return status;
}

}  // namespace ornix::v2
