#include "backend/v2/hrc_constraints.h"

#include <algorithm>
#include <cstddef>
#include <string>

#include "backend/v2/hrc_limits.h"
#include "backend/v2/hrc_messages.h"
#include "backend/v2/hrc_sram_words.h"
#include "ornix/dma/config_header.h"

namespace ornix::v2 {

namespace {

// The parameters the rules read.
struct HrcParams {
  int32_t kernel_size;
  int32_t kernel_stride;
  int32_t pool_type;
  int32_t pool_size;
  int32_t pool_stride;
  int32_t output_bits;
  int32_t activation;
  int32_t filters;
  int32_t weights_bits;
};

HrcParams read_params(const Layer& layer) {
  return {param_of(layer, "kernel_size"), param_of(layer, "kernel_stride"), param_of(layer, "pool_type"),
          param_of(layer, "pool_size"),   param_of(layer, "pool_stride"),   layer.output_bits(),
          param_of(layer, "activation"),  param_of(layer, "filters"),       param_of(layer, "weights_bits")};
}

constexpr int32_t value_of(PoolType type) { return static_cast<int32_t>(type); }
constexpr int32_t value_of(ActivationType type) { return static_cast<int32_t>(type); }

LayerMappingStatus failed(const Layer& layer, std::string message) {
  return LayerMappingError(layer, std::move(message));
}

LayerMappingStatus check_kernel_size(const Layer& layer, int32_t kernel_size) {
  if (std::ranges::find(kHrcKernelSizes, kernel_size) != kHrcKernelSizes.end()) return LayerMappingStatus(layer);
  return failed(layer, hrc_kernel_size_message(kernel_size));
}

LayerMappingStatus check_kernel_stride(const Layer& layer, int32_t kernel_size, int32_t kernel_stride) {
  const int32_t max_stride = std::min(kernel_size, kHrcMaxStride);
  if (kernel_stride <= max_stride) return LayerMappingStatus(layer);
  return failed(layer, hrc_kernel_stride_message(kernel_size, max_stride));
}

LayerMappingStatus check_max_pooling(const Layer& layer, const HrcParams& params) {
  const auto window_is = [&](const HrcPoolWindow& window) {
    return window.size == params.pool_size && window.stride == params.pool_stride;
  };
  if (params.pool_type != value_of(PoolType::Max) || std::ranges::any_of(kHrcMaxPoolWindows, window_is)) {
    return LayerMappingStatus(layer);
  }
  return failed(layer, hrc_max_pooling_message(params.pool_size, params.pool_stride));
}

LayerMappingStatus check_input_width(const Layer& layer, uint32_t width) {
  if (width >= kHrcMinInputSize) return LayerMappingStatus(layer);
  return failed(layer, hrc_input_width_message(width, kHrcMinInputSize));
}

LayerMappingStatus check_input_height(const Layer& layer, uint32_t height) {
  if (height >= kHrcMinInputSize && height <= kHrcMaxInputHeight) return LayerMappingStatus(layer);
  return failed(layer, hrc_input_height_message(height, kHrcMinInputSize, kHrcMaxInputHeight));
}

// Without activation only that is reported; with one, the output width and what a lookup
// table excludes.
LayerMappingStatus check_activation(const Layer& layer, const HrcParams& params) {
  if (!layer.has_activation()) return failed(layer, kMsgHrcActivationsDisabled);
  LayerMappingStatus status(layer);
  if (params.output_bits != kHrcOutputBits4 && params.output_bits != kHrcOutputBits8) {
    merge_mapping_status(status, failed(layer, hrc_output_bits_message(params.output_bits)));
  }
  if (params.activation == value_of(ActivationType::LUT)) {
    if (params.output_bits == kHrcOutputBits4) merge_mapping_status(status, failed(layer, kMsgHrcLut4Bit));
    if (params.pool_type != value_of(PoolType::NoPooling)) {
      merge_mapping_status(status, failed(layer, kMsgHrcLutPooling));
    }
  }
  return status;
}

LayerMappingStatus check_filters(const Layer& layer, int32_t filters) {
  // 0 and negative counts wrap around above the limit.
  if (static_cast<uint32_t>(filters) - 1 < kHrcMaxFilters) return LayerMappingStatus(layer);
  return failed(layer, hrc_filters_message(kHrcMaxFilters, filters));
}

LayerMappingStatus check_weights_not_all_zero(const Layer& layer) {
  const auto weights = layer.variables().get("weights");
  const int8_t* values = weights->data<int8_t>();
  if (std::any_of(values, values + weights->size(), [](int8_t value) { return value != 0; })) {
    return LayerMappingStatus(layer);
  }
  return failed(layer, kMsgHrcWeightsAllZero);
}

LayerMappingStatus check_weights_bits(const Layer& layer, int32_t weights_bits) {
  if (weights_bits == kHrcWeightsBits) return LayerMappingStatus(layer);
  return failed(layer, kMsgHrcWeightsBits);
}

}  // namespace

LayerMappingStatus check_input_conv2d_constraints(const Layer& layer) {
  const HrcParams params = read_params(layer);
  const Shape input = layer.input_dimensions().front();
  LayerMappingStatus status(layer);
  for (const LayerMappingStatus& rule : {
           check_kernel_size(layer, params.kernel_size),
           check_kernel_stride(layer, params.kernel_size, params.kernel_stride),
           check_max_pooling(layer, params),
           check_input_width(layer, input[0]),
           check_input_height(layer, input[1]),
           check_activation(layer, params),
           check_filters(layer, params.filters),
           check_weights_not_all_zero(layer),
           check_weights_bits(layer, params.weights_bits),
       }) {
    merge_mapping_status(status, rule);
  }
  return status;
}

uint32_t get_hrc_sram_size(const Layer& layer) {
  std::size_t words = 0;
  for (const auto& sram : hrc_weight_words(layer)) words += sram.size();
  words += hrc_activation_words(layer).size();
  auto size = static_cast<uint32_t>(words);
  if (dma::config_block_size_needs_xl(size)) {
    size = (size + dma::kXlUnitWords - 1) / dma::kXlUnitWords * dma::kXlUnitWords;
  }
  return size;
}

}  // namespace ornix::v2
