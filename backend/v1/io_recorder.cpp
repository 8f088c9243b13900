#include "backend/v1/io_recorder.h"

#include <cstdint>
#include <stdexcept>

#include "backend/v1/io_limits.h"
#include "backend/v1/io_registers.h"
#include "backend/v1/recorder_messages.h"
#include "backend/v2/io_words.h"

namespace ornix::v1 {

namespace {

constexpr hw::Ident kScc{};  // the SCC answers at the all-zero ident

constexpr uint32_t bit(bool value) { return value ? 1 : 0; }

LayerType type_of(const Layer& layer) { return layer.params()->layer_type(); }

// An FNP layer fed by no CNP layer with a 1 x 1 input takes it as one flat vector.
bool input_is_flat(const Layer& layer) {
  if (!layer.is_target_component(ComponentKind::FNP)) return false;
  const auto inbounds = layer.inbound_layers();
  if (!inbounds.empty() && inbounds.front() != nullptr && inbounds.front()->is_target_component(ComponentKind::CNP)) {
    return false;
  }
  const Shape input = layer.input_dimensions().at(0);
  return input[0] == 1 && input[1] == 1;
}

uint32_t scc_control_word(bool input_on_hrc, bool input_type_is_0, bool hrc_only, bool output_type_is_0) {
  uint32_t word = 0;
  set_field(&word, SCC04_INPUT_NOT_HRC, bit(!input_on_hrc));
  set_field(&word, SCC04_OUTPUT_TYPE_0, bit(output_type_is_0));
  set_field(&word, SCC04_INPUT_TYPE_0, bit(input_type_is_0));
  set_field(&word, SCC04_HRC_ONLY, bit(hrc_only));
  return word;
}

uint32_t scc_output_word(const Shape& output) {
  uint32_t word = 0;
  if (output[0] == 1 && output[1] == 1) return word;
  set_field(&word, SCC44_OUTPUT_CHANNELS, output[2]);
  set_field(&word, SCC44_OUTPUT_PLANE, v2::scc_output_plane(output));
  return word;
}

}  // namespace

std::unique_ptr<program::Record> IoRecorderImpl::record_scc(bool input_on_hrc, bool input_type_is_0, bool hrc_only,
                                                            bool output_type_is_0, bool, Shape input_shape,
                                                            Shape output_shape) const {
  auto record = program::new_record(device->version());
  record->add_np_track(kScc, dma::Target::RegisterWrite, kSccControlAddress,
                       {scc_control_word(input_on_hrc, input_type_is_0, hrc_only, output_type_is_0)});
  if (input_type_is_0) {
    record->add_np_track(kScc, dma::Target::RegisterWrite, kSccInputAddress, {v2::scc_input_word(input_shape)});
  }
  if (output_type_is_0) {
    record->add_np_track(kScc, dma::Target::RegisterWrite, kSccOutputAddress, {scc_output_word(output_shape)});
  }
  return record;
}

std::unique_ptr<RegisterWrites> IoRecorderImpl::record_epg(const Layer& layer, uint8_t col_low, uint8_t col_high,
                                                           uint8_t epg_byte, bool, bool several_passes,
                                                           bool input_type_is_0) const {
  uint32_t control = kEpgControl.fixed;
  set_field(&control, EPG00_FLAT_INPUT, bit(input_is_flat(layer)));
  set_field(&control, EPG00_INPUT_TYPE_0, bit(input_type_is_0));
  const uint32_t passes = several_passes ? kEpg12SeveralPasses : v2::kEpg12.fixed;
  return std::make_unique<RegisterWrites>(v2::epg_registers(control, passes, col_low, col_high, epg_byte));
}

int8_t IoRecorderImpl::get_input_type(const Layer& layer) const {
  if (device->version().product_id != kProductIdWithoutInputType0 &&
      layer.input_dimensions().at(0)[2] <= kInputType0MaxChannels) {
    return kInputType0;
  }
  switch (type_of(layer)) {
    case LayerType::InputConvolutional:
      return kInputType0;
    case LayerType::FullyConnected:
      return input_is_flat(layer) ? kInputTypeFlatFnp : kInputTypeNpPacket;
    case LayerType::Convolutional:
    case LayerType::SeparableConvolutional:
      return kInputTypeNpPacket;
    default:
      throw std::runtime_error(kMsgIoUnsupportedLayerType);
  }
}

int8_t IoRecorderImpl::get_output_type(const Layer& layer, int8_t input_type) const {
  // Whether the output may go straight out.
  const auto direct = [&] {
    return device->version().product_id > kOutputType0MinProductIdExclusive &&
           layer.output_dimensions()[2] <= kOutputType0MaxChannels && input_type == kInputType0;
  };
  switch (type_of(layer)) {
    case LayerType::FullyConnected:
      return direct() ? kOutputType0 : kOutputTypeFnp;
    case LayerType::InputConvolutional:
      return kOutputTypeHrc;
    case LayerType::Convolutional:
    case LayerType::SeparableConvolutional:
      return direct() && layer.has_activation() ? kOutputType0 : kOutputTypeCnp;
    default:
      throw std::runtime_error(kMsgIoUnsupportedLayerType);
  }
}

}  // namespace ornix::v1
