#pragma once

// The program of a buffered temporal convolution mapped on TNP-Bs. The register blocks come from
// tnp_b_register_builder.h; the recorder first adds the layer's skip-DMA channel blocks (target
// 11, skip_dma_recording.h), which keep its FIFO of frames in external memory, then, NP by NP in
// the order of the mapping's `nps` list:
//   target 7  the NP's register block;
//   target 1  its weights (tnp_b_weight_format.h), packed straight into their track;
//   target 2  the input shifts: the whole layer's for a BufferTempConv, the NP's own channels'
//             for a DepthwiseBufferTempConv;
//   target 5  the per-channel variables of its filters (or channels), written straight into
//             their track.
// There is no lookup-table and no merge-shift block.

#include <memory>
#include <vector>

#include "ornix/device.h"
#include "ornix/hw/ident.h"
#include "ornix/layer.h"
#include "program/record.h"

namespace ornix::v2 {

// A new record for `device`'s version holding the program of `layer`, a BufferTempConv (the
// first function) or a DepthwiseBufferTempConv (the second). The arguments after the layer mean
// what they mean to format_conv2d_registers; an NP in `excluded_nps` gets no block at all, and
// with `registers_only` each NP gets its register block and nothing else: no skip-DMA block, and
// neither "weights" nor "input_shift" is read. Weights, depthwise input shifts and variables
// cover the NP's own range [start_neuron, start_neuron + filters).
//
// Failures: a layer of another type than the function's, std::runtime_error "Invalid layer type
// for TNP-B recording."; the builder's failures; a missing "weights" or "input_shift" variable,
// and the failures of the weight packers (a depthwise tensor of more than 12 taps is refused),
// of the shift and variable formatters, of the skip-DMA recording and of Record::add_np_track
// ("Error generating NP program.") pass through. Nothing is returned on failure.
std::unique_ptr<program::Record> record_program_buffer_temp_conv_layer(const Device& device, const Layer& layer,
                                                                       std::shared_ptr<Layer> alt_layer,
                                                                       bool ib_spikes, bool pr_flag,
                                                                       const std::vector<hw::Ident>& excluded_nps,
                                                                       bool registers_only, bool common_flag);
std::unique_ptr<program::Record> record_program_depthwise_buffer_temp_conv_layer(
    const Device& device, const Layer& layer, std::shared_ptr<Layer> alt_layer, bool ib_spikes, bool pr_flag,
    const std::vector<hw::Ident>& excluded_nps, bool registers_only, bool common_flag);

}  // namespace ornix::v2
