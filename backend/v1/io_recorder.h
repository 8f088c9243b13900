#pragma once

#include "mapping/io_recorder.h"

namespace ornix::v1 {

// The generation-1 I/O recorder: the SCC block, the EPG registers and the input and output type
// codes of a sequence. The device (not owned) must outlive it. Stateless; every operation may
// be called in any order.
//
// A layer's input is *flat* when the layer runs on an FNP, its first inbound layer (if any) does
// not run on a CNP, and its first input is 1 wide and 1 high.
class IoRecorderImpl final : public IoRecorder {
 public:
  explicit IoRecorderImpl(const Device* device) : IoRecorder(device) {}

  // One-word register writes (DMA target 8, all-zero ident), in this order: 0x04 the control
  // word; 0x40 the input channels (index 2 of `input_shape`) when `input_type_is_0`; 0x44 the
  // output plane when `output_type_is_0` (0 for a 1 x 1 output, else channels x rows and the
  // channels). `output_bits` is not read. A value wider than its field (18 bits for the input
  // channels, 11 for the output channels, 20 for channels x rows) panics with the
  // field-overflow text.
  std::unique_ptr<program::Record> record_scc(bool input_on_hrc, bool input_type_is_0, bool hrc_only,
                                              bool output_type_is_0, bool output_bits, Shape input_shape,
                                              Shape output_shape) const override;
  // The six EPG registers at offsets 0x00, 0x0C, 0x10, 0x14, 0x18, 0x1C: the flat-input and
  // input-type-0 bits, the several-passes word, the column range and the EPG byte. `hrc_only` is
  // not read.
  std::unique_ptr<RegisterWrites> record_epg(const Layer& layer, uint8_t col_low, uint8_t col_high, uint8_t epg_byte,
                                             bool hrc_only, bool several_passes, bool input_type_is_0) const override;
  // 0 on a device whose product id is not 0 when the first input has at most 0x3FFFF channels;
  // otherwise by type: InputConvolutional 0, FullyConnected 1 (flat input) or 2,
  // Convolutional and SeparableConvolutional 2. Another type throws std::runtime_error
  // "Unsupported layer type.".
  int8_t get_input_type(const Layer& layer) const override;
  // By type: FullyConnected 0 when the output may go straight out (product id above 0xA0, at
  // most 2047 output channels, input type 0), else 1; InputConvolutional 3; Convolutional and
  // SeparableConvolutional 0 when it may and the layer has an activation, else 2. Another type
  // throws std::runtime_error "Unsupported layer type.".
  int8_t get_output_type(const Layer& layer, int8_t input_type) const override;
};

}  // namespace ornix::v1
