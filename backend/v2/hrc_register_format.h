#pragma once

// The five configuration words of the input NP (HRC), fields in hrc_registers.h.

#include <array>
#include <cstdint>

#include "backend/v2/hrc_registers.h"
#include "ornix/shape.h"
#include "ornix/tensor.h"

namespace ornix::v2 {

using HrcConfigRegisters = std::array<uint32_t, kHrcConfigWords>;

// An InputConv2D layer's settings, as its parameters, bit widths and geometry give them.
struct HrcConvSettings {
  int32_t kernel_size;     // 3, 4, 5, 7 or 16
  uint8_t output_bits;     // 4 or 8
  int32_t activation;      // ActivationType
  uint32_t channels;       // input channels: 1 or 3
  int32_t padding;         // Padding
  int32_t pool_type;       // PoolType: NoPooling or Max
  int32_t pool_size;       // at most 15; a negative size is written as 0
  int32_t pool_stride;     // at most 15; a negative stride is written as 0
  int32_t kernel_stride;   // 0 to 31
  PaddingParams conv_pad;  // the convolution's padding amounts, each at most 3
  int32_t filters;         // 1 to 512
};

// Writes the settings and the first three values of `padding_value` (uint8; 0 past its end)
// into `regs`, other bits left as they are, checking in this order: kernel size, output bits,
// activation, channels, padding, pool size, pool type, kernel stride, pool stride, padding
// values, padding amounts (left, right, top, bottom), filters. The first invalid one stops with
// std::runtime_error "Wrong kernel size at HRC recording.", "Wrong output bitwidth when
// programming HRC: B-bit found\nonly 8-bit and 4-bit are supported.", "Wrong activation at HRC
// recording.", "Wrong number of channles at HRC recording.", "Wrong padding at HRC
// recording." or "Wrong pooling at HRC recording.", or panics "Attempted to write value V into
// a W-bit field, which will cause an overflow." for a value wider than its field; `regs` may
// then be partly written. A padding_value of another element type panics "Wrong requested
// type %s for a tensor of type %s.".
void format_hrc_registers(HrcConfigRegisters& regs, const HrcConvSettings& settings, const Dense& padding_value);

}  // namespace ornix::v2
