#pragma once

// The eight configuration words of an InputConvolutional layer on the generation-1 HRC
// (fields in hrc_registers.h), and its threshold/step table.

#include <cstdint>
#include <vector>

#include "ornix/layer_params.h"
#include "ornix/tensor.h"

namespace ornix::v1 {

// Words [1, 0, 0, 0, 0, 0, 0, 0] (word 0 bit 0: loading) with the fields of `params`
// ("input_channels", "padding", "stride_x", "stride_y", "pooling_width", "pooling_height",
// "pool_type", "kernel_height", "filters", "act_bits", "padding_value") and of the built record
// `built` (its words 4 to 7, the padding amounts), written in that order. The first value too
// wide for its field panics "Attempted to write value V into a W-bit field, which will cause an
// overflow.": a stride above 7, filters - 1 above 511, act_bits above 7, a padding value above
// 255, a built padding above 7. A missing parameter throws std::invalid_argument, a built record
// of fewer than 8 words std::out_of_range.
std::vector<uint32_t> format_hrc_regs(const LayerParams& params, const std::vector<uint32_t>& built);

// [31:24] 0 | [23] sign | [22:0] threshold, then the step word as given; two words per value of
// `threshold`, read with `steps` at the same flat index. Both must hold int32 values (panic
// "Wrong requested type %s for a tensor of type %s."); a threshold outside the 24-bit signed
// range panics "V cannot fit in a 24 bits signed integer."; fewer steps than thresholds throws
// std::invalid_argument.
std::vector<uint32_t> format_hrc_threshold_steps(const Dense& threshold, const Dense& steps);

}  // namespace ornix::v1
