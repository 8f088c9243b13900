#pragma once

// The 64-word register block every generation-2 NP starts from, and the writers that every
// per-type register builder applies to it after its own fields: mesh routing, input-buffer
// spikes and the mesh configuration DMA (the alternative layer's view is in
// partial_reconfig_registers.h). Field layout in np_registers.h.
//
// Every field is written through set_field: a value wider than its field panics "Attempted to
// write value V into a W-bit field, which will cause an overflow." (std::runtime_error). A
// writer that fails may leave the block partly written; the caller discards it. Bits not
// named stay as they were.

#include <cstdint>
#include <utility>
#include <vector>

#include "backend/v2/mesh_idents.h"
#include "backend/v2/np_register_block.h"
#include "hardware/component.h"
#include "ornix/hw/ident.h"

namespace ornix {
struct AltLayerMapInfo;  // mapping/layer_mapping.h
}  // namespace ornix

namespace ornix::v2 {

// The block of `np`: kNpRegisterWords words, zero but for the defaults (np_registers.h), the
// layer id `value` in word 3 (at most 255; 0xFE instead, unchecked, with `registers_only`),
// and word 56: the merge bit and, for ident ids of 2 and above, bits 8 and 24.
std::vector<uint32_t> default_np_regs(const hw::Component& np, uint32_t value, bool registers_only, bool merge);

// Mesh routing, words 44 to 47 and, with `alt`, word 52: where the NP's input comes from
// (`sources`), where its output goes (`destinations`) under the routing value `value`, and
// the columns its layer (`own`, the layer's `nps`) and destinations span. With `p2p_out`
// (`p2p_in`) the one destination (source) is named by row, column and one-hot id; otherwise
// by its list's column range. Towards a TNP-B (first destination) the value written is
// `value` - 1, so 0 overflows. `alt` (borrowed, may be null) is the layer's alternative-branch
// information; its NP count must fit 8 bits. Ident ids must be at most 3.
//
// std::runtime_error "Cannot use P2P OUT mode for multiple NPs." when `p2p_out` is set and
// `destinations` does not hold exactly one component, "Cannot use P2P IN mode for multiple
// NPs." likewise for `p2p_in` and `sources`; std::invalid_argument for an empty list that is
// read for its column range.
void format_mesh_registers_set_output_to_NPs(NpRegisterBlock regs, const std::vector<hw::Component>& sources,
                                             const std::vector<hw::Component>& own,
                                             const std::vector<hw::Component>& destinations,
                                             const AltLayerMapInfo* alt, uint8_t value, bool p2p_in, bool p2p_out,
                                             bool pr_flag);

// Sets the input-buffer spike bit (word 2 bit 7).
void set_ib_spikes(NpRegisterBlock regs);

// Word 49: row, column and one-hot id (id at most 3) of the mesh's configuration DMA.
void format_mesh_cfg_dma_reg(NpRegisterBlock regs, const hw::Ident& ident);

}  // namespace ornix::v2
