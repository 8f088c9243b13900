#include "backend/v2/layer_recorder.h"

#include <stdexcept>
#include <utility>

#include "backend/v2/conv2d_recording.h"
#include "backend/v2/depthwise_recording.h"
#include "backend/v2/fnp_recording.h"
#include "backend/v2/hrc_recording.h"
#include "backend/v2/recorder_messages.h"
#include "backend/v2/tnp_b_recording.h"
#include "backend/v2/transposed_recording.h"

namespace ornix::v2 {

std::unique_ptr<program::Record> LayerRecorderImpl::record_layer(const Layer& layer, const Layer& reference,
                                                                 std::shared_ptr<Layer> alt_layer, bool ib_spikes,
                                                                 bool pr_flag, const std::vector<hw::Ident>& excluded_nps,
                                                                 bool registers_only, bool common_flag) const {
  const LayerType type = layer.params()->layer_type();
  const auto number = static_cast<uint32_t>(type);
  switch (type) {
    case LayerType::Add:
    case LayerType::Concatenate:
    case LayerType::Dequantizer:
      return program::new_record(device->version());
    case LayerType::InputConv2D:
      return record_program_input_conv2d_layer(*device, layer);
    case LayerType::Conv2D:
      return record_program_conv2d_layer(*device, layer, std::move(alt_layer), ib_spikes, pr_flag, excluded_nps,
                                         registers_only, common_flag);
    case LayerType::BufferTempConv:
      return record_program_buffer_temp_conv_layer(*device, layer, std::move(alt_layer), ib_spikes, pr_flag,
                                                   excluded_nps, registers_only, common_flag);
    case LayerType::DepthwiseBufferTempConv:
      return record_program_depthwise_buffer_temp_conv_layer(*device, layer, std::move(alt_layer), ib_spikes,
                                                             pr_flag, excluded_nps, registers_only, common_flag);
    case LayerType::DepthwiseConv2D:
      return record_program_dwconv2d_layer(*device, layer, std::move(alt_layer), ib_spikes, pr_flag, excluded_nps,
                                           registers_only, common_flag);
    case LayerType::Conv2DTranspose:
      return record_program_transposed_conv2d_layer(*device, layer, std::move(alt_layer), ib_spikes, pr_flag,
                                                    excluded_nps, registers_only, common_flag);
    case LayerType::DepthwiseConv2DTranspose:
      return record_program_transposed_dwconv2d_layer(*device, layer, std::move(alt_layer), ib_spikes, pr_flag,
                                                      excluded_nps, registers_only, common_flag);
    case LayerType::Dense1D:
      return record_program_dense1d_layer(*device, *constraints, layer, reference, std::move(alt_layer), ib_spikes,
                                          pr_flag, excluded_nps, registers_only);
    default:
      throw std::runtime_error(unsupported_layer_type(number));
  }
}

program::LearnRecordsPtr LayerRecorderImpl::record_learning_layer(const Layer&, bool) const {
  throw std::runtime_error(kMsgLearningNotImplemented);
}

void LayerRecorderImpl::sync_learning_vars(std::shared_ptr<Layer>) const {
  throw std::runtime_error(kMsgLearningNotImplemented);
}

}  // namespace ornix::v2
