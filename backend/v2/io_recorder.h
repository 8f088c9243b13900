#pragma once

#include "mapping/io_recorder.h"

namespace ornix::v2 {

// The generation-2 I/O recorder: the SCC block and the EPG registers of a sequence. The
// device (not owned) must outlive it. Stateless; every operation may be called in any order.
class IoRecorderImpl final : public IoRecorder {
 public:
  explicit IoRecorderImpl(const Device* device) : IoRecorder(device) {}

  // Three one-word register writes (DMA target 8, all-zero ident), in this order: 0x04 the
  // control word, 0x40 the input channels (index 2 of `input_shape`), 0x44 the output plane
  // (x, y, channels of `output_shape`). Only `input_on_hrc`, `output_bits` and the shapes are
  // read. Panics with the field-overflow text when the input channels reach 2^18 or the output
  // channels x rows exceed 2^20 - 1.
  std::unique_ptr<program::Record> record_scc(bool input_on_hrc, bool input_type_is_0, bool hrc_only,
                                              bool output_type_is_0, bool output_bits, Shape input_shape,
                                              Shape output_shape) const override;
  // Always the six EPG registers at offsets 0, 12, 16, 20, 24, 28. `several_passes` and
  // `input_type_is_0` are not read.
  std::unique_ptr<RegisterWrites> record_epg(const Layer& layer, uint8_t col_low, uint8_t col_high, uint8_t epg_byte,
                                             bool hrc_only, bool several_passes, bool input_type_is_0) const override;
  // Generation 2 has a single input type and a single output type: both 0.
  int8_t get_input_type(const Layer& layer) const override;
  int8_t get_output_type(const Layer& layer, int8_t input_type) const override;
};

}  // namespace ornix::v2
