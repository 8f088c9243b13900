#pragma once

// The program of a Conv2D layer mapped on CNPs. The register blocks come from
// format_conv2d_registers (conv2d_register_builder.h); the recorder frames them and the NPs'
// payloads into DMA blocks, NP by NP in the order of the mapping's `nps` list:
//   target 7   the NP's register block;
//   target 0/1 its filters' weights (v2::conv2d_dma_target of the kernel and weight width);
//   target 2   the layer's input shifts;
//   target 5   its filters' per-channel variables;
//   target 12  the lookup table, for a lookup-table activation;
//   target 10  the merge-layer shifts, when the layer follows an Add;
// then the layer's skip-DMA channel blocks (target 11, skip_dma_recording.h).

#include <memory>
#include <vector>

#include "ornix/device.h"
#include "ornix/hw/ident.h"
#include "ornix/layer.h"
#include "program/record.h"

namespace ornix::v2 {

// A new record for `device`'s version holding the program of `layer`. The arguments after the
// layer mean what they mean to format_conv2d_registers; an NP in `excluded_nps` gets no block
// at all, and with `registers_only` each NP gets its register block and nothing else (the
// weights tensor is still read for its kernel size). Weights and variables cover the NP's own
// filters [start_neuron, start_neuron + filters); the mapping's channel offset reaches only the
// registers.
//
// Failures: a layer whose parameters are not of type Conv2D, std::runtime_error "Invalid layer
// type for CNP recording."; the builder's failures; a missing "weights" or "input_shift"
// variable or parameter, and the failures of the weight, shift, variable and lookup-table
// formatters, of the skip-DMA recording and of Record::add_np_track ("Error generating NP
// program.") pass through. Nothing is returned on failure.
std::unique_ptr<program::Record> record_program_conv2d_layer(const Device& device, const Layer& layer,
                                                             std::shared_ptr<Layer> alt_layer, bool ib_spikes,
                                                             bool pr_flag, const std::vector<hw::Ident>& excluded_nps,
                                                             bool registers_only, bool common_flag);

}  // namespace ornix::v2
