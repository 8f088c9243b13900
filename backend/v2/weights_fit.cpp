#include "backend/v2/weights_fit.h"

#include <stdexcept>

#include "backend/v2/checker_limits.h"
#include "backend/v2/checker_messages.h"
#include "backend/v2/cnp_weight_sizes.h"
#include "backend/v2/compatibility_checker.h"
#include "backend/v2/tnp_b_sizes.h"

namespace ornix::v2 {

namespace {

uint32_t kernel_size(const Layer& layer) { return static_cast<uint32_t>(param_of(layer, "kernel_size")); }
uint8_t weights_bits(const Layer& layer) { return static_cast<uint8_t>(param_of(layer, "weights_bits")); }
uint32_t fifo_size(const Layer& layer) { return static_cast<uint32_t>(param_of(layer, "fifo_size")); }

// Whether the channel container of `filters` filters fits its register field; `weights_size` is
// the layer's get_weights_100b_size. A depthwise buffered temporal convolution has no such limit.
bool channel_container_fits(const Layer& layer, uint32_t filters, uint32_t weights_size) {
  switch (layer.params()->layer_type()) {
    case LayerType::Conv2D:
    case LayerType::Conv2DTranspose:
      return conv2d_ch_cont_100b_size(kernel_size(layer), filters, weights_bits(layer)) < kChannelContainerLimit;
    case LayerType::DepthwiseConv2D:
    case LayerType::DepthwiseConv2DTranspose:
      return weights_size < kChannelContainerLimit;
    case LayerType::BufferTempConv:
      return buffer_temp_conv_ch_cont_100b_size(filters) < kChannelContainerLimit;
    default:
      return true;
  }
}

}  // namespace

uint32_t get_weights_100b_size(const Layer& layer, uint32_t filters) {
  const uint32_t channels = layer.input_dimensions().at(0)[2];
  switch (layer.params()->layer_type()) {
    case LayerType::Conv2D:
    case LayerType::Conv2DTranspose:
      return conv2d_cnp_formatted_weight_100b_size(kernel_size(layer), filters, channels, weights_bits(layer));
    case LayerType::DepthwiseConv2D:
    case LayerType::DepthwiseConv2DTranspose:
      return dwc_ch_cont_100b_size(kernel_size(layer), filters, weights_bits(layer));
    case LayerType::BufferTempConv:
      return buffer_temp_conv_tnp_formatted_weight_100b_size(fifo_size(layer), filters, channels);
    case LayerType::DepthwiseBufferTempConv:
      return depthwise_buffer_temp_conv_tnp_formatted_weight_100b_size(fifo_size(layer), filters);
    default:
      throw std::invalid_argument(kMsgUnexpectedWeightLayerType);
  }
}

bool CompatibilityCheckerImpl::is_weights_size_fit_np(const Layer& layer, uint32_t filters) const {
  const uint32_t size = get_weights_100b_size(layer, filters);
  return channel_container_fits(layer, filters, size) && constraints->cnp_weight_memory_size >= size;
}

}  // namespace ornix::v2
