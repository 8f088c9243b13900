#pragma once

// The fields of a Dense1D layer in its FNP's register block (fields in fnp_registers.h).

#include <cstdint>

#include "backend/v2/fnp_input_layout.h"
#include "backend/v2/np_register_block.h"
#include "hardware/hw_type.h"
#include "mapping/hardware_constraints.h"
#include "ornix/shape.h"
#include "ornix/tensor.h"

namespace ornix::v2 {

// Writes the FNP fields into `regs` (a block from default_np_regs), keeping every other bit.
// `type` is the NP's kind (FNP2: weights in external memory, FNP3: in its own memory); `shape`
// the FNP input shape (x, y, c; get_fnp_input_dim) in `padding`; `weights` the layer's
// (inputs, neurons) tensor, read only for its neuron count; bits are value widths. With L the
// bytes of one input line (ceil(input_bits x / 8), rounded up to 4 for ChannelRowAligned, 0 for
// Packed):
//   word 1: [25] 0 | [24] FNP3 | [22] single_buffer | [20] 0 | [4] 1
//   word 3: [23:16] 1 | [15] activation | [14] output <= 8 bits without activation |
//           [13:12] output code | [7] 1 | [5:4] weight code | [3] 0 | [1:0] input code
//   word 10: [26:16] x | [10:0] y               word 11: [29:12] L
//   word 14: [31] 1 | [30] 0 | [29] 1 | [14:0] input memory words (get_fpksram_size)
//   word 15: [30:16] words of one neuron | [15:0] neurons       word 16: [17:0] 0
//   word 17: [23:20] 1 on an FNP3 | [15:0] FNP2: 5, FNP3: image words mod the FNP3 budget
//   word 28: [31:16] L | [13:0] words of one row (ceil(L c / 4); L c / 4 for
//            ChannelRowAligned; 0 for Packed)
// Width codes: 2 for 4 bits, 3 for 8 bits (outputs of 8 to 32 bits).
//
// Failures (the block may then be partly written; the caller discards it): an NP that is no
// FNP, std::invalid_argument, before anything is written; std::runtime_error "Wrong input_bits at
// FNP recording.", "Wrong weight bitwidth at FNP recording.", "Wrong output bitwidth at FNP
// recording.", checked in this order before the shape is written; Unfit, "Unsupported
// padding."; a value wider than its field panics "Attempted to write value V into a W-bit
// field, which will cause an overflow." (input dimensions above 2047, more than 65535 neurons,
// ...); an FNP3 with a zero budget (the constraints' fnp3_sram_size), std::invalid_argument.
void format_fnp_registers(const HardwareConstraints& constraints, NpRegisterBlock regs, hw::Type type,
                          uint8_t input_bits, uint8_t output_bits, bool activation, const Shape& shape,
                          bool single_buffer, const Dense& weights, uint8_t weights_bits, InputPadding padding);

}  // namespace ornix::v2
