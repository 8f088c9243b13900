#pragma once

// The register blocks of a buffered temporal convolution mapped on TNP-Bs: one 64-word block
// (np_register_block.h) per NP, built from the NP defaults, the common CNP/TNP configuration
// (cnp_register_format.h) with a 1x1 kernel and no merge or skip-DMA fields, the TNP-B fields
// (tnp_b_registers.h), the mesh routing and, under partial reconfiguration, the alternative
// layer's view (np_block_routing.h). No pooling fields are written.

#include <memory>
#include <vector>

#include "backend/v2/conv2d_register_builder.h"
#include "ornix/hw/ident.h"
#include "ornix/layer.h"

namespace ornix::v2 {

// The blocks of `layer` for every NP of its mapping's `nps` list whose ident is not in
// `excluded_nps` (a later NP of an ident replaces an earlier one). The other arguments mean
// what they mean to format_conv2d_registers; the mapping's channel offset is not applied.
//
// Per NP with n filters (or channels) from `first`, NC input channels in its window and a padded
// window of PW x PH, on a layer of CH input channels, ib input bits and s = "fifo_size":
//   word 1 bit 28 set; word 4 bits 0-15 s; word 21 NC; word 28 roundup4(NC) and
//   roundup4(NC) x PW / 4; word 30 bit 1 set, bit 0 clear, s and s + 1 (each at most 15, so s
//   at most 14); word 56 bits 16-24 (over the defaults' bits 23 and 24) ceil(ib x roundup4(NC)
//   x PH x PW / 2048), the input buffer in units of 64 words, and bit 31 clear;
//   BufferTempConv: word 11 the channel container of n filters, word 29 ceil(n / 8);
//   DepthwiseBufferTempConv: word 11 and word 29 1, word 3 bit 2 and, when n < CH, bit 10 with
//   word 22 = first and n (both 0 otherwise).
//
// Failures: a layer of another type, std::runtime_error "Invalid layer type for TNP-B
// recording."; no LayerMapping (of the layer or of `alt_layer`) or an NP without allocation,
// std::invalid_argument; no input shape, "Cannot get input size before it is set."; a value
// wider than its field panics "Attempted to write value V into a W-bit field, which will cause
// an overflow." (fifo_size 15 stops at word 30 bits 16-19, 16 to 65535 at bits 8-11, 65536 and
// above at word 4); failures of the register groups and of the engine's accessors (a missing
// parameter) pass through. Nothing is returned on failure.
NpRegisterMap format_buffer_temp_conv_registers(const Layer& layer, std::shared_ptr<Layer> alt_layer, bool ib_spikes,
                                                bool pr_flag, const std::vector<hw::Ident>& excluded_nps,
                                                bool registers_only, bool common_flag);
NpRegisterMap format_depthwise_buffer_temp_conv_registers(const Layer& layer, std::shared_ptr<Layer> alt_layer,
                                                          bool ib_spikes, bool pr_flag,
                                                          const std::vector<hw::Ident>& excluded_nps,
                                                          bool registers_only, bool common_flag);

}  // namespace ornix::v2
