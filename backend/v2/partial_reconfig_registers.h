#pragma once

// The view an alternative layer has of an NP it shares with the layer being recorded
// (hardware partial reconfiguration): words 32 to 35 and 40 to 42 of the NP's register block
// (np_register_block.h, fields in np_registers.h) and bit 15 of word 44. Applied by the
// per-type register builders after mesh routing, only when an alternative layer is given.

#include "backend/v2/np_register_block.h"
#include "hardware/component.h"
#include "ornix/layer.h"

namespace ornix::v2 {

// Writes `alt_layer`'s view of the NP. `alt_np` is the component of `alt_layer`'s mapping
// with the NP's ident; its NpAllocation gives the window: spatial channels NC, padded origin
// (PX, PY) and padded shape (PW, PH, PC). With ib the layer's input bit width:
//   - word 32: fixed bits 0 and 2, the log2 code of ib (ib of 1, 2, 4 or 8), the mapping's
//     input id in bits 24-31, and whether the layer follows a merge layer (bit 3) that is not
//     an Add (bit 6);
//   - an FNP layer: FNP mode and its whole input as the window; row bytes R by its FNP input
//     layout (v2::get_fnp_supported_padding);
//   - a CNP or TNP-B layer: the padded window; max-pooling input size when its first inbound
//     layer max-pools without activation; separable layers their padded-row words and, when
//     the NP holds fewer filters than the input has channels, its channel group;
//   - word 41: the NP count of the layer (at most 127) and the column range of its sources
//     (every `inputs` list, then its skip-DMA loads);
//   - word 35: the words Q of one input plane (at most 16383) and R (at most 65535).
// Bits not named stay as they were; word 35 bits 14-15 keep PR1_SEPARABLE.
//
// Failures: a field overflow panics (std::runtime_error, "Attempted to write value V into a
// W-bit field, which will cause an overflow."; an input of 16 bits gives code 6 into 2 bits);
// an FNP layer whose input fits no layout: std::runtime_error "Unsupported padding."; an
// `alt_np` without allocation, a layer without mapping or without sources:
// std::invalid_argument; the layer's own accessor errors pass out. The block may then be partly
// written; the caller discards it.
void update_partial_reconfig_regs(NpRegisterBlock regs, const Layer& alt_layer, const hw::Component& alt_np,
                                  bool pr_flag);

}  // namespace ornix::v2
