#pragma once

// The program of a convolution mapped on CNPs, in any of its four forms (cnp_conv_register_builder.h).
// The recorder frames the register blocks and the NPs' payloads into DMA blocks, NP by NP in
// the order of the mapping's `nps` list:
//   target 7   the NP's register block;
//   target 0/1 the weights of its filters (channels), packed straight into their track;
//   target 2   the input shifts: the layer's all, or the NP's own channels in a depthwise form;
//   target 5   the per-channel variables of its filters, written straight into their track;
//   target 12  the lookup table, for a lookup-table activation;
//   target 10  the merge-layer shifts, when the layer follows an Add: over all the Add's
//              channels, or the NP's own channels in a depthwise form;
// then the layer's skip-DMA channel blocks (target 11, skip_dma_recording.h).

#include <memory>
#include <vector>

#include "backend/v2/cnp_conv_register_builder.h"
#include "ornix/device.h"
#include "ornix/hw/ident.h"
#include "ornix/layer.h"
#include "program/record.h"

namespace ornix::v2 {

// A new record for `device`'s version holding the program of `layer`, recorded in `form`, with
// `blocks` the register blocks its form's builder made for it (an NP without a block, such as
// an excluded one, gets no track at all). With `registers_only` each NP gets its register block
// and nothing else. Weights and variables cover the NP's own filters [start_neuron,
// start_neuron + filters) at the layer's "weights_bits"; the mapping's channel offset reaches
// only the registers.
//
// A standard form formats the layer's "input_shift" once for all NPs, and reads the "weights"
// kernel for its target before the NP loop, also with `registers_only`. A depthwise form reads
// its tensors only inside the NP loop, so with `registers_only` it uses neither "weights" nor
// "input_shift".
//
// Failures: a layer whose parameters are not of form.type, std::runtime_error "Invalid layer
// type for CNP recording."; no LayerMapping, std::invalid_argument; a depthwise layer without
// "input_shift", std::runtime_error "Layer '<name>' has no input_shift variable."; a missing
// "weights" variable or parameter, a standard form's missing "input_shift", and the failures
// of the weight, shift, variable and lookup-table formatters, of the skip-DMA recording and of
// Record::add_np_track ("Error generating NP program.") pass through. Every NP's weight sizes,
// depthwise input shifts, lookup table and merge shifts are checked before any track is
// written; an NP's weights and then its variables are checked as they are written. Nothing is
// returned on failure.
std::unique_ptr<program::Record> record_cnp_conv_layer(const CnpConvForm& form, const Device& device,
                                                       const Layer& layer, const NpRegisterMap& blocks,
                                                       bool registers_only);

}  // namespace ornix::v2
