#include "backend/v2/io_recorder.h"

#include <cstdint>

#include "backend/v2/io_registers.h"
#include "backend/v2/io_words.h"

namespace ornix::v2 {

namespace {

constexpr hw::Ident kScc{};  // the SCC answers at the all-zero ident

uint32_t scc_control_word(bool input_on_hrc, bool output_bits) {
  uint32_t word = kScc04Fixed;
  set_field(&word, SCC04_INPUT_NOT_HRC, input_on_hrc ? 0 : 1);
  set_field(&word, SCC04_OUTPUT_BITS, output_bits ? 1 : 0);
  return word;
}

uint32_t scc_output_word(const Shape& output) {
  uint32_t word = 0;
  if (output[0] == 1 && output[1] == 1) return word;
  const uint32_t channels = output[2];
  set_field(&word, SCC44_OUTPUT_PLANE, scc_output_plane(output));
  if (channels < (uint32_t{1} << SCC44_OUTPUT_CHANNELS.width)) set_field(&word, SCC44_OUTPUT_CHANNELS, channels);
  return word;
}

}  // namespace

std::unique_ptr<program::Record> IoRecorderImpl::record_scc(bool input_on_hrc, bool, bool, bool, bool output_bits,
                                                            Shape input_shape, Shape output_shape) const {
  auto record = program::new_record(device->version());
  record->add_np_track(kScc, dma::Target::RegisterWrite, kSccControlAddress,
                       {scc_control_word(input_on_hrc, output_bits)});
  record->add_np_track(kScc, dma::Target::RegisterWrite, kSccInputAddress, {scc_input_word(input_shape)});
  record->add_np_track(kScc, dma::Target::RegisterWrite, kSccOutputAddress, {scc_output_word(output_shape)});
  return record;
}

std::unique_ptr<RegisterWrites> IoRecorderImpl::record_epg(const Layer& layer, uint8_t col_low, uint8_t col_high,
                                                           uint8_t epg_byte, bool hrc_only, bool, bool) const {
  uint32_t control = kEpgControl.fixed;
  set_field(&control, EPG00_FNP_INPUT, layer.is_target_component(ComponentKind::FNP) ? 1 : 0);
  set_field(&control, EPG00_HRC_ONLY, hrc_only ? 1 : 0);
  return std::make_unique<RegisterWrites>(epg_registers(control, kEpg12.fixed, col_low, col_high, epg_byte));
}

int8_t IoRecorderImpl::get_input_type(const Layer&) const { return 0; }

int8_t IoRecorderImpl::get_output_type(const Layer&, int8_t) const { return 0; }

}  // namespace ornix::v2
