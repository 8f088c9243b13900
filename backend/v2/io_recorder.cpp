#include "backend/v2/io_recorder.h"

#include <cstdint>

#include "backend/v2/io_registers.h"
#include "backend/v2/recorder_messages.h"
#include "ornix/panic.h"

namespace ornix::v2 {

namespace {

constexpr hw::Ident kScc{};  // the SCC answers at the all-zero ident

uint32_t scc_control_word(bool input_on_hrc, bool output_bits) {
  uint32_t word = kScc04Fixed;
  set_field(&word, SCC04_INPUT_NOT_HRC, input_on_hrc ? 0 : 1);
  set_field(&word, SCC04_OUTPUT_BITS, output_bits ? 1 : 0);
  return word;
}

uint32_t scc_input_word(const Shape& input) {
  uint32_t word = 0;
  set_field(&word, SCC40_INPUT_CHANNELS, input[2]);
  return word;
}

uint32_t scc_output_word(const Shape& output) {
  uint32_t word = 0;
  if (output[0] == 1 && output[1] == 1) return word;
  const uint32_t channels = output[2];
  // The product is formed in 64 bits: a wrapped one could pass as a small plane.
  const uint64_t plane = uint64_t{channels} * output[1];
  if (plane > UINT32_MAX) {
    panic(kMsgWideFieldOverflowFormat, static_cast<unsigned long long>(plane), SCC44_OUTPUT_PLANE.width);
  }
  set_field(&word, SCC44_OUTPUT_PLANE, static_cast<uint32_t>(plane));
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
  uint32_t columns = kEpgColumns.fixed;
  set_field(&columns, EPG16_COL_LOW, col_low);
  set_field(&columns, EPG16_COL_HIGH, col_high);
  uint32_t byte_low = kEpg20.fixed;
  set_field(&byte_low, EPG20_EPG_BYTE, epg_byte);
  uint32_t byte_high = kEpg24.fixed;
  set_field(&byte_high, EPG24_EPG_BYTE, epg_byte);
  return std::make_unique<RegisterWrites>(RegisterWrites{{kEpgControl.offset, control},
                                                         {kEpg12.offset, kEpg12.fixed},
                                                         {kEpgColumns.offset, columns},
                                                         {kEpg20.offset, byte_low},
                                                         {kEpg24.offset, byte_high},
                                                         {kEpg28.offset, kEpg28.fixed}});
}

int8_t IoRecorderImpl::get_input_type(const Layer&) const { return 0; }

int8_t IoRecorderImpl::get_output_type(const Layer&, int8_t) const { return 0; }

}  // namespace ornix::v2
