#pragma once

#include "mapping/io_recorder.h"

namespace ornix::v2 {

// The generation-2 I/O recorder. Not built yet: every operation throws std::runtime_error.
class IoRecorderImpl final : public IoRecorder {
 public:
  explicit IoRecorderImpl(const Device* device) : IoRecorder(device) {}

  std::unique_ptr<program::Record> record_scc(bool input_on_hrc, bool input_type_is_0, bool hrc_only,
                                              bool output_type_is_0, bool output_bits, Shape input_shape,
                                              Shape output_shape) const override;
  std::unique_ptr<RegisterWrites> record_epg(const Layer& layer, uint8_t col_low, uint8_t col_high, uint8_t epg_byte,
                                             bool hrc_only, bool several_passes, bool input_type_is_0) const override;
  int8_t get_input_type(const Layer& layer) const override;
  int8_t get_output_type(const Layer& layer, int8_t input_type) const override;
};

}  // namespace ornix::v2
