#include "backend/v2/io_words.h"

#include "backend/v2/io_registers.h"
#include "backend/v2/recorder_messages.h"
#include "ornix/panic.h"

namespace ornix::v2 {

uint32_t scc_input_word(const Shape& input) {
  uint32_t word = 0;
  set_field(&word, SCC40_INPUT_CHANNELS, input[2]);
  return word;
}

uint32_t scc_output_plane(const Shape& output) {
  const uint64_t plane = uint64_t{output[2]} * output[1];
  if (plane > UINT32_MAX) {
    panic(kMsgWideFieldOverflowFormat, static_cast<unsigned long long>(plane), SCC44_OUTPUT_PLANE.width);
  }
  uint32_t field = 0;
  set_field(&field, SCC44_OUTPUT_PLANE, static_cast<uint32_t>(plane));
  return field;
}

RegisterWrites epg_registers(uint32_t control, uint32_t word_12, uint8_t col_low, uint8_t col_high, uint8_t epg_byte) {
  uint32_t columns = kEpgColumns.fixed;
  set_field(&columns, EPG16_COL_LOW, col_low);
  set_field(&columns, EPG16_COL_HIGH, col_high);
  uint32_t byte_low = kEpg20.fixed;
  set_field(&byte_low, EPG20_EPG_BYTE, epg_byte);
  uint32_t byte_high = kEpg24.fixed;
  set_field(&byte_high, EPG24_EPG_BYTE, epg_byte);
  return {{kEpgControl.offset, control}, {kEpg12.offset, word_12},  {kEpgColumns.offset, columns},
          {kEpg20.offset, byte_low},     {kEpg24.offset, byte_high}, {kEpg28.offset, kEpg28.fixed}};
}

}  // namespace ornix::v2
