#include "backend/v1/conv_params.h"

#include "backend/v1/checker_limits.h"

namespace ornix::v1 {

namespace {

int32_t param_or(const LayerParams& params, const char* key, int32_t fallback) {
  return params.has(key) ? params.get(key) : fallback;
}

}  // namespace

ConvParams read_conv_params(const LayerParams& params) {
  return {param_or(params, "filters", 0),
          param_or(params, "kernel_width", 0),
          param_or(params, "kernel_height", 0),
          param_or(params, "stride_x", kDefaultStride),
          param_or(params, "stride_y", kDefaultStride),
          param_or(params, "padding", kDefaultPadding),
          param_or(params, "pool_type", kDefaultPoolType),
          param_or(params, "pooling_width", 0),
          param_or(params, "pooling_height", 0),
          param_or(params, "pooling_stride_x", kDefaultPoolStride),
          param_or(params, "pooling_stride_y", kDefaultPoolStride),
          param_or(params, "weights_bits", kDefaultWeightsBits),
          param_or(params, "activation", kDefaultActivation),
          param_or(params, "act_bits", kDefaultActBits)};
}

}  // namespace ornix::v1
