#include "backend/v1/memory_sizer.h"

#include <stdexcept>

#include "backend/v1/cnp_weight_sizes.h"
#include "backend/v1/fnp_sizes.h"
#include "backend/v1/hrc_recording.h"
#include "backend/v1/memory_sizer_limits.h"
#include "backend/v1/recorder_messages.h"
#include "backend/v1/weight_format_limits.h"

namespace ornix::v1 {

namespace {

LayerType type_of(const Layer& layer) { return layer.params()->layer_type(); }

// The NP's input window in bytes: the rows of its padded partition, each holding its channels'
// rows of the layer's whole input width.
uint32_t cnp_input_bytes(const Layer& layer, const NpAllocation& np) {
  const uint32_t container = get_cnp_channel_container_size(layer.input_dimensions().at(0)[0], layer.input_bits());
  return kWordBytes *
         get_cnp_input_sram_size(container, np.spatial_partition.shape[2], np.padded_partition.shape[1]);
}

// The NP's weights: S u32 words are S / 2 weight words of 50 bits, in whole bytes.
uint32_t cnp_weight_bytes(const Layer& layer, const NpAllocation& np) {
  const uint32_t weight_words = get_weights_size(layer, np.filters) / kSlotWords;
  return (weight_words * kWeightWordBits + 7) / 8;
}

}  // namespace

uint32_t MemorySizerImpl::get_input_memory_size(const std::shared_ptr<Layer>& layer, const hw::Component& component,
                                                const std::shared_ptr<Layer>&) const {
  switch (type_of(*layer)) {
    case LayerType::Convolutional:
    case LayerType::SeparableConvolutional:
      return cnp_input_bytes(*layer, hw::np_share_or_default(component));
    case LayerType::FullyConnected:
      return kWordBytes * get_fnp_input_size(*layer);
    case LayerType::InputConvolutional:
    case LayerType::Add:
    case LayerType::Dequantizer:
      return 0;
    default:
      throw std::invalid_argument(kMsgInvalidLayerType);
  }
}

uint32_t MemorySizerImpl::get_weight_memory_size(const std::shared_ptr<Layer>& layer,
                                                 const hw::Component& component) const {
  switch (type_of(*layer)) {
    case LayerType::Convolutional:
    case LayerType::SeparableConvolutional:
      return cnp_weight_bytes(*layer, hw::np_share_or_default(component));
    case LayerType::InputConvolutional:
      return kWordBytes * get_hrc_sram_size(*layer);
    case LayerType::FullyConnected:
      return component.type == hw::Type::FNP3 ? kWordBytes * get_fnp_sram_size(*layer) : 0;
    case LayerType::Add:
    case LayerType::Dequantizer:
      return 0;
    default:
      throw std::invalid_argument(kMsgInvalidLayerType);
  }
}

uint32_t MemorySizerImpl::get_external_memory_size(const std::shared_ptr<Layer>& layer,
                                                   const hw::Component& component, bool, bool) const {
  return component.type == hw::Type::FNP2 ? kWordBytes * get_fnp_sram_size(*layer) : 0;
}

}  // namespace ornix::v1
