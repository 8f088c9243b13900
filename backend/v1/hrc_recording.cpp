#include "backend/v1/hrc_recording.h"

#include <stdexcept>

#include "backend/v1/hrc_register_format.h"
#include "backend/v1/hrc_registers.h"
#include "backend/v1/np_registers.h"
#include "backend/v1/recorder_messages.h"
#include "ornix/dma/config_header.h"
#include "ornix/layers/convolution_v1.h"
#include "program/hrc_format.h"

namespace ornix::v1 {

namespace {

constexpr hw::Ident kHrc{};  // the HRC answers at the all-zero ident

void write_register(program::Record* record, uint16_t address, const std::vector<uint32_t>& words) {
  record->add_np_track(kHrc, dma::Target::RegisterWrite, address, words);
}

std::vector<uint32_t> threshold_steps(const Layer& layer) {
  const Variables& variables = layer.variables();
  return format_hrc_threshold_steps(*variables.get("threshold"),
                                    *get_threshold_t16_from_act_steps(*variables.get("act_step")));
}

}  // namespace

uint32_t get_hrc_sram_size(const Layer& layer) {
  uint32_t words = 0;
  for (const auto& plane : format_hrc_weights(*layer.variables().get("weights"))) {
    words += static_cast<uint32_t>(plane.size());
  }
  words += static_cast<uint32_t>(threshold_steps(layer).size());
  if (dma::config_block_size_needs_xl(words)) {
    words = (words + kHrcXlRoundWords - 1) / kHrcXlRoundWords * kHrcXlRoundWords;
  }
  return words;
}

void record_hrc_sram(program::Record* record, const RegDetail& select, const std::vector<uint32_t>& data) {
  if (data.empty()) return;
  uint32_t select_word = 0;
  set_field(&select_word, select, 1);
  write_register(record, kHrcSramSelectAddress, {select_word, 0});
  record->add_np_track(kHrc, dma::Target::HrcSram, kHrcSramDataAddress, data);
}

std::unique_ptr<program::Record> record_program_hrc_layer(const Device& device, const Layer& layer) {
  const auto& conv = dynamic_cast<const InputConvolutional&>(layer);
  if (!conv.conv_params()) throw std::runtime_error(layer_not_built_message(layer.name()));
  const auto built_words = conv.conv_params()->words();

  auto record = program::new_record(device.version());
  std::vector<uint32_t> regs = format_hrc_regs(*layer.params(), {built_words.begin(), built_words.end()});
  write_register(record.get(), kHrcConfigAddress, regs);

  const HrcWeightWords planes = format_hrc_weights(*layer.variables().get("weights"));
  record_hrc_sram(record.get(), HRC_SRAM_SELECT_R, planes[0]);
  record_hrc_sram(record.get(), HRC_SRAM_SELECT_G, planes[1]);
  record_hrc_sram(record.get(), HRC_SRAM_SELECT_B, planes[2]);
  record_hrc_sram(record.get(), HRC_SRAM_SELECT_TH_STP, threshold_steps(layer));

  set_field(&regs[kHrcWordLayer], HRC0_SRAM_LOADING, 0);
  write_register(record.get(), kHrcConfigAddress, {regs[kHrcWordLayer]});
  write_register(record.get(), kHrcStartAddress, {kHrcStart});
  write_register(record.get(), kHrcStartAddress, {0});
  return record;
}

}  // namespace ornix::v1
