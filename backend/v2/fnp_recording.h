#pragma once

// The program of a Dense1D layer mapped on one fully connected NP (FNP2 or FNP3): in one track
// list, for the NP of the mapping,
//   target 7   its register block (default_np_regs, format_fnp_registers, mesh routing, the
//              alternative layer's view, input-buffer spikes, and on an FNP2 the mesh's
//              configuration DMA);
//   target 2   the input shifts in the FNP input layout (format_input_shift_fnp);
//   target 6   on an FNP3, the FNP memory image (FnpRamImage, written in place);
// and, on an FNP2, the memory image as the record's external filters track. No skip-DMA block.

#include <memory>
#include <vector>

#include "mapping/hardware_constraints.h"
#include "ornix/device.h"
#include "ornix/hw/ident.h"
#include "ornix/layer.h"
#include "program/record.h"

namespace ornix::v2 {

// A new record for `device`'s version holding the program of `layer`, a Dense1D whose mapping
// is a LayerMapping; the first NP of its `nps` list is recorded. `reference` is the first layer
// of the layer's sequence: when it is `layer` itself (the same object) the input is taken as
// one flat vector (get_fnp_supported_padding, get_fnp_input_dim), so that layout, registers,
// input shifts and image agree. `alt_layer` (may be empty) is the layer sharing the NP under
// partial reconfiguration; `ib_spikes` sets the input-buffer spike bit; `pr_flag` goes to the
// mesh routing and to the alternative view; an NP in `excluded_nps` gives a record without
// tracks; `registers_only` parks the NP (layer id 0xFE) and leaves the memory image out.
// `constraints` gives the FNP3 budget of word 17; on an FNP2 `device`'s mesh names the
// configuration DMA.
//
// Failures (nothing is returned): no LayerMapping, std::invalid_argument; an empty NP list,
// std::out_of_range; an NP without allocation, std::invalid_argument; an FNP2 on a device
// without mesh, std::invalid_argument; a missing "weights", "input_shift" or "weights_bits",
// and the failures of format_fnp_registers ("Wrong input_bits at FNP recording.", "Wrong
// weight bitwidth at FNP recording.", "Wrong output bitwidth at FNP recording.", field
// overflows), of the layout and sizes ("Unsupported padding."), of the mesh writers, of the
// payload formatters and of Record::add_np_track ("Error generating NP program.") pass through.
std::unique_ptr<program::Record> record_program_dense1d_layer(const Device& device,
                                                              const HardwareConstraints& constraints,
                                                              const Layer& layer, const Layer& reference,
                                                              std::shared_ptr<Layer> alt_layer, bool ib_spikes,
                                                              bool pr_flag, const std::vector<hw::Ident>& excluded_nps,
                                                              bool registers_only);

}  // namespace ornix::v2
