#include "backend/v2/hrc_recording.h"

#include <stdexcept>

#include "backend/v2/hrc_messages.h"
#include "backend/v2/hrc_register_format.h"
#include "backend/v2/hrc_sram_words.h"
#include "ornix/layer_geometry.h"

namespace ornix::v2 {

namespace {

constexpr hw::Ident kHrc{};  // the HRC answers at the all-zero ident

const PaddingParams& conv_padding(const Layer& layer) {
  const auto* conv = dynamic_cast<const HasConvParams*>(&layer);
  if (conv == nullptr || !conv->conv_params()) throw std::runtime_error(hrc_no_conv_params_message(layer.name()));
  return conv->conv_params()->padding;
}

HrcConvSettings read_settings(const Layer& layer) {
  return {.kernel_size = param_of(layer, "kernel_size"),
          .output_bits = layer.output_bits(),
          .activation = param_of(layer, "activation"),
          .channels = layer.input_dimensions().front()[2],
          .padding = param_of(layer, "padding"),
          .pool_type = param_of(layer, "pool_type"),
          .pool_size = param_of(layer, "pool_size"),
          .pool_stride = param_of(layer, "pool_stride"),
          .kernel_stride = param_of(layer, "kernel_stride"),
          .conv_pad = conv_padding(layer),
          .filters = param_of(layer, "filters")};
}

HrcConfigRegisters config_registers(const Layer& layer) {
  HrcConfigRegisters regs{};
  set_field(&regs[kHrcWordLayer], HRC0_SRAM_LOADING, 1);
  const auto padding_value = layer.variables().get("padding_value");
  format_hrc_registers(regs, read_settings(layer), *padding_value);
  return regs;
}

void write_register(program::Record* record, uint16_t address, const std::vector<uint32_t>& words) {
  record->add_np_track(kHrc, dma::Target::RegisterWrite, address, words);
}

uint32_t start_word(bool start) {
  uint32_t word = 0;
  set_field(&word, HRC_START, start ? 1 : 0);
  return word;
}

}  // namespace

void record_hrc_register_tracks(program::Record* record, const RegDetail& select, const std::vector<uint32_t>& data) {
  if (data.empty()) return;
  uint32_t select_word = 0;
  set_field(&select_word, select, 1);
  write_register(record, kHrcSramSelectAddress, {select_word});
  record->add_np_track(kHrc, dma::Target::HrcSram, kHrcSramDataAddress, data);
}

std::unique_ptr<program::Record> record_program_input_conv2d_layer(const Device& device, const Layer& layer) {
  HrcConfigRegisters regs = config_registers(layer);
  const bool lut = layer.activation_is(ActivationType::LUT);
  const HrcWeightWords weights = hrc_weight_words(layer);
  const std::vector<uint32_t> lut_words = lut ? hrc_lut_words(layer) : std::vector<uint32_t>{};
  const std::vector<uint32_t> activations = lut ? hrc_lut_activation_words(layer) : hrc_activation_words(layer);

  auto record = program::new_record(device.version());
  write_register(record.get(), kHrcConfigAddress, {regs.begin(), regs.end()});
  record_hrc_register_tracks(record.get(), HRC_SRAM_SELECT_R, weights[0]);
  record_hrc_register_tracks(record.get(), HRC_SRAM_SELECT_G, weights[1]);
  record_hrc_register_tracks(record.get(), HRC_SRAM_SELECT_B, weights[2]);
  record_hrc_register_tracks(record.get(), HRC_SRAM_SELECT_LUT, lut_words);
  record_hrc_register_tracks(record.get(), HRC_SRAM_SELECT_ACT, activations);
  set_field(&regs[kHrcWordLayer], HRC0_SRAM_LOADING, 0);
  write_register(record.get(), kHrcConfigAddress, {regs[kHrcWordLayer]});
  write_register(record.get(), kHrcStartAddress, {start_word(true)});
  write_register(record.get(), kHrcStartAddress, {start_word(false)});
  return record;
}

}  // namespace ornix::v2
