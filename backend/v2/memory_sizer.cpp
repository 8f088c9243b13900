#include "backend/v2/memory_sizer.h"

#include <algorithm>
#include <stdexcept>

#include "backend/v2/cnp_weight_sizes.h"
#include "backend/v2/fnp_sizes.h"
#include "backend/v2/hrc_constraints.h"
#include "backend/v2/memory_sizer_limits.h"
#include "backend/v2/recorder_messages.h"
#include "backend/v2/tnp_b_sizes.h"
#include "mapping/layer_graph.h"

namespace ornix::v2 {

namespace {

uint32_t div_ceil(uint32_t value, uint32_t divisor) { return value / divisor + (value % divisor != 0 ? 1 : 0); }
uint32_t round_up(uint32_t value, uint32_t multiple) { return div_ceil(value, multiple) * multiple; }

LayerType type_of(const Layer& layer) { return layer.params()->layer_type(); }

bool on_cnp(const hw::Component& component) {
  return component.type == hw::Type::CNP1 || component.type == hw::Type::CNP2;
}

bool is_temporal(LayerType type) {
  return type == LayerType::BufferTempConv || type == LayerType::DepthwiseBufferTempConv;
}

// "fifo_size", or 0 when the parameters have none.
uint32_t fifo_size_or_zero(const Layer& layer) {
  const LayerParams& params = *layer.params();
  return params.has("fifo_size") ? static_cast<uint32_t>(params.get("fifo_size")) : 0;
}

// An empty first entry counts as no inbound layer.
bool first_inbound_is_add(const Layer& layer) {
  const auto inbounds = layer.inbound_layers();
  return !inbounds.empty() && inbounds.front() != nullptr && type_of(*inbounds.front()) == LayerType::Add;
}

// 4 x (words of one padded row over all channels, low 27 bits) x rows, plus the Add's reserve.
uint32_t cnp_input_bytes(const Layer& layer, const NpAllocation& np) {
  const uint32_t channels = np.spatial_partition.shape[2];
  const uint32_t width = np.padded_partition.shape[0];
  const uint32_t height = np.padded_partition.shape[1];
  const uint32_t row_bytes = round_up(div_ceil(layer.input_bits() * width, 8), kWordBytes);
  const uint32_t row_words = (row_bytes * channels / kWordBytes) & ((uint32_t{1} << kCnpPlaneBits) - 1);
  const uint32_t extra = first_inbound_is_add(layer) ? kAddInputExtraWords : 0;
  return kWordBytes * (row_words * height + extra);
}

// 4 x (1 + fifo) frames, each the NP window rounded up to 64 words.
uint32_t tnp_b_input_bytes(const Layer& layer, const NpAllocation& np) {
  const uint32_t channels = round_up(np.spatial_partition.shape[2], kTnpBChannelGroup);
  const uint32_t width = np.padded_partition.shape[0];
  const uint32_t height = np.padded_partition.shape[1];
  const uint32_t frame_words =
      round_up(div_ceil(channels * layer.input_bits() * height * width, kWordBits), kTnpBFrameWordsGranule);
  return kWordBytes * (1 + fifo_size_or_zero(layer)) * frame_words;
}

// S weight words of 100 bits, in bytes: (S x 100 + 7) / 8.
uint32_t cnp_words_to_bytes(uint32_t words) { return (words * kCnpWeightWordBits + 7) / 8; }

// The formatted weights of the NP's filters (Conv2D forms) or channels (depthwise forms).
uint32_t cnp_weight_bytes(const Layer& layer, const NpAllocation& np, bool depthwise) {
  const auto kernel = static_cast<uint32_t>(param_of(layer, "kernel_size"));
  const auto bits = static_cast<uint8_t>(param_of(layer, "weights_bits"));  // its low 8 bits
  if (depthwise) return cnp_words_to_bytes(dwc_ch_cont_100b_size(kernel, np.filters, bits));
  const uint32_t channels = layer.input_dimensions().front()[2];
  return cnp_words_to_bytes(conv2d_cnp_formatted_weight_100b_size(kernel, np.filters, channels, bits));
}

// The formatted weights of the NP's filters (BufferTempConv) or channels (depthwise), fifo_size
// + 1 taps of them.
uint32_t tnp_b_weight_bytes(const Layer& layer, const NpAllocation& np, bool depthwise) {
  const auto fifo = static_cast<uint32_t>(param_of(layer, "fifo_size"));
  if (depthwise) return cnp_words_to_bytes(depthwise_buffer_temp_conv_tnp_formatted_weight_100b_size(fifo, np.filters));
  const uint32_t channels = layer.input_dimensions().front()[2];
  return cnp_words_to_bytes(buffer_temp_conv_tnp_formatted_weight_100b_size(fifo, np.filters, channels));
}

// The largest depth distance from the layer to one of its outbound layers; 0 without any.
uint32_t deepest_outbound_distance(const std::shared_ptr<Layer>& layer) {
  LayerDepthMap depths;
  const uint32_t depth = get_layer_depth(layer, &depths);
  uint32_t distance = 0;
  for (const auto& outbound : layer->outbound_layers()) {
    distance = std::max(distance, get_layer_depth(outbound, &depths) - depth);
  }
  return distance;
}

// The buffer a skip-DMA store keeps for later consumers: frames of the stored plane. TNP-B
// layers store their input, one frame per FIFO slot and the current one (none without a FIFO
// size); other layers store their output, or their input for the second store of a
// dual-output layer.
uint32_t skip_store_bytes(const std::shared_ptr<Layer>& layer, bool dual_output, bool several_passes) {
  const bool temporal = is_temporal(type_of(*layer));
  const bool stores_input = dual_output || temporal;
  const Shape plane = stores_input ? layer->input_dimensions().front() : layer->output_dimensions();
  const uint32_t bits = stores_input ? layer->input_bits() : layer->output_bits();
  const uint32_t x = plane[0];
  const uint32_t y = plane[1];
  const uint32_t c = plane[2];
  if (temporal) {
    const uint32_t words = div_ceil(bits * c, kWordBits) * x * y;
    const uint32_t frames = layer->params()->has("fifo_size") ? 1 + fifo_size_or_zero(*layer) : 0;
    return kWordBytes * frames * words;
  }
  const uint32_t words = div_ceil(bits * x, kWordBits) * y * c;
  const uint32_t frames =
      several_passes ? kSkipStoreFramesSeveralPasses : kSkipStoreFramesOnePass + deepest_outbound_distance(layer);
  return kWordBytes * frames * words;
}

}  // namespace

uint32_t MemorySizerImpl::get_input_memory_size(const std::shared_ptr<Layer>& layer, const hw::Component& component,
                                                const std::shared_ptr<Layer>& input) const {
  switch (type_of(*layer)) {
    case LayerType::Add:
    case LayerType::Concatenate:
    case LayerType::InputConv2D:
    case LayerType::Dequantizer:
    case LayerType::StatefulRecurrent:
      return 0;
    case LayerType::Dense1D:
      return kWordBytes * get_fnp_input_size(*layer, input == layer);
    case LayerType::Conv2D:
    case LayerType::DepthwiseConv2D:
    case LayerType::Conv2DTranspose:
    case LayerType::DepthwiseConv2DTranspose:
      return on_cnp(component) ? cnp_input_bytes(*layer, hw::np_share_or_default(component)) : 0;
    case LayerType::BufferTempConv:
    case LayerType::DepthwiseBufferTempConv:
      return component.type == hw::Type::TNP_B ? tnp_b_input_bytes(*layer, hw::np_share_or_default(component)) : 0;
    default:
      throw std::invalid_argument(kMsgInvalidLayerType);
  }
}

uint32_t MemorySizerImpl::get_weight_memory_size(const std::shared_ptr<Layer>& layer,
                                                 const hw::Component& component) const {
  switch (type_of(*layer)) {
    case LayerType::Add:
    case LayerType::Concatenate:
    case LayerType::Dequantizer:
    case LayerType::StatefulRecurrent:
      return 0;
    case LayerType::Conv2D:
    case LayerType::Conv2DTranspose:
      return on_cnp(component) ? cnp_weight_bytes(*layer, hw::np_share_or_default(component), false) : 0;
    case LayerType::DepthwiseConv2D:
    case LayerType::DepthwiseConv2DTranspose:
      return on_cnp(component) ? cnp_weight_bytes(*layer, hw::np_share_or_default(component), true) : 0;
    case LayerType::BufferTempConv:
    case LayerType::DepthwiseBufferTempConv:
      if (component.type != hw::Type::TNP_B) return 0;
      return tnp_b_weight_bytes(*layer, hw::np_share_or_default(component),
                                type_of(*layer) == LayerType::DepthwiseBufferTempConv);
    case LayerType::InputConv2D:
      return kWordBytes * get_hrc_sram_size(*layer);
    case LayerType::Dense1D:
      return component.type == hw::Type::FNP3 ? kWordBytes * get_fnp_sram_size(*layer) : 0;
    default:
      throw std::invalid_argument(kMsgInvalidLayerType);
  }
}

uint32_t MemorySizerImpl::get_external_memory_size(const std::shared_ptr<Layer>& layer,
                                                   const hw::Component& component, bool dual_output,
                                                   bool several_passes) const {
  switch (component.type) {
    case hw::Type::FNP2:
      return kWordBytes * get_fnp_sram_size(*layer);
    case hw::Type::SKIP_DMA_STORE:
      return skip_store_bytes(layer, dual_output, several_passes);
    default:
      return 0;
  }
}

}  // namespace ornix::v2
