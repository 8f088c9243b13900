#pragma once

// The 50-word generation-1 NP register block (field layout in np_registers.h) and the writers
// the CNP and FNP register formatters share. A formatter starts from default_np_regs(), writes
// its own fields, then, per NP: format_mesh_registers_set_output_to_NPs, format_mesh_cfg_dma_reg
// (FNP2 only), update_partial_reconfig_regs (when the partial-reconfiguration layer has a
// component with the NP's ident) and set_ib_spikes last.
//
// Every field is written through set_field: a value wider than its field panics "Attempted to
// write value V into a W-bit field, which will cause an overflow." (std::runtime_error). A
// writer that fails may leave the block partly written; the caller discards it. Bits not named
// stay as they were. Blocks are passed by pointer and must hold kNpRegisterWords words.

#include <cstdint>
#include <vector>

#include "hardware/component.h"
#include "ornix/hw/ident.h"
#include "ornix/layer.h"

namespace ornix::v1 {

// A fresh block: kNpRegisterWords words, zero but for the reset values.
std::vector<uint32_t> default_np_regs();

// Word 49: row, column and one-hot id (id at most 3) of the mesh configuration DMA.
void format_mesh_cfg_dma_reg(std::vector<uint32_t>* regs, const hw::Ident& ident);

// Output routing, words 44 to 47, in this order: word 44 (mode, `second_p2p`, `route_flag`,
// and the top byte from `output_tag`); word 45 from `second_targets` under `output_tag`; word 46
// from `targets`; word 47 the column range of `second_targets` and `layer_nps` together. With a
// point-to-point flag, the list must hold exactly one component, named by row, column and
// one-hot id; otherwise by its smallest and largest column (a list of one HRC counts as
// columns 1 to 1). std::runtime_error "Cannot use P2P mode for multiple NPs." for a
// point-to-point list of another size; std::invalid_argument for an empty list read for its
// column range.
void format_mesh_registers_set_output_to_NPs(std::vector<uint32_t>* regs, const std::vector<hw::Component>& targets,
                                             const std::vector<hw::Component>& layer_nps,
                                             const std::vector<hw::Component>& second_targets, uint8_t output_tag,
                                             bool targets_p2p, bool second_p2p, bool route_flag);

// Word 2 bit 7: input-buffer spikes.
void set_ib_spikes(std::vector<uint32_t>* regs);

// The partial-reconfiguration view of `layer` on its component `np`: words 32 to 35, and the
// input size of words 4 and 14 raised to what the layer needs (an FNP without word 1 bit 4 at
// least 0x2501 words). The layer must hold a LayerMapping (std::logic_error otherwise).
void update_partial_reconfig_regs(std::vector<uint32_t>* regs, const Layer& layer, const hw::Component& np);
// update_partial_reconfig_regs with the component of `reconfig_layer` at `ident`; nothing when
// that layer has none there.
void write_reconfig_view(std::vector<uint32_t>* regs, const Layer& reconfig_layer, const hw::Ident& ident);

}  // namespace ornix::v1
