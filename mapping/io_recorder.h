#pragma once

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "ornix/device.h"
#include "ornix/layer.h"
#include "ornix/shape.h"
#include "program/record.h"

namespace ornix {

// (register offset, value) pairs of the EPG registers, in writing order.
using RegisterWrites = std::vector<std::pair<uint32_t, uint32_t>>;

// Records the chip's input and output programs and gives the I/O type codes. Made by
// IpVersionSpecificHardwareBackend with its device, which outlives it. Throws std::runtime_error
// for what it cannot record.
class IoRecorder {
 public:
  virtual ~IoRecorder() = default;
  IoRecorder(const IoRecorder&) = delete;
  IoRecorder& operator=(const IoRecorder&) = delete;

  // The SCC program of a sequence.
  virtual std::unique_ptr<program::Record> record_scc(bool input_on_hrc, bool input_type_is_0, bool hrc_only,
                                                      bool output_type_is_0, bool output_bits, Shape input_shape,
                                                      Shape output_shape) const = 0;
  // The EPG register values of a sequence whose first layer is `layer`; `col_low`, `col_high`:
  // the lowest and highest column of the passes' components; `epg_byte` is written into the
  // registers as given (the serializer passes 1).
  virtual std::unique_ptr<RegisterWrites> record_epg(const Layer& layer, uint8_t col_low, uint8_t col_high,
                                                     uint8_t epg_byte, bool hrc_only, bool several_passes,
                                                     bool input_type_is_0) const = 0;
  // The input type code of a sequence whose first layer is `layer`.
  virtual int8_t get_input_type(const Layer& layer) const = 0;
  // The output type code of a sequence whose last layer is `layer`.
  virtual int8_t get_output_type(const Layer& layer, int8_t input_type) const = 0;

 protected:
  // Not owned; must outlive the recorder.
  explicit IoRecorder(const Device* device) : device(device) {}

  const Device* device;
};

}  // namespace ornix
