#pragma once

// The program of a DepthwiseConv2D layer mapped on CNPs. Each NP computes the channels
// [start_neuron, start_neuron + filters) and reads only those input channels, so its register
// block carries a channel group and a per-channel input container, and its weights, input
// shifts and merge-layer shifts are the slices of its own channels. Track order as
// cnp_conv_recording.h.

#include <memory>
#include <vector>

#include "backend/v2/cnp_conv_register_builder.h"
#include "ornix/device.h"
#include "ornix/hw/ident.h"
#include "ornix/layer.h"
#include "program/record.h"

namespace ornix::v2 {

// format_cnp_conv_registers for kDepthwiseConv2DForm: `layer` must be a built DepthwiseConv2D.
// Per NP with n channels from `first` (without the channel offset), NC input channels and a
// padded input of PW x PH, at ib input bits, with row_words = ceil(ib x PW / 32): word 3 bit 2
// set; when n is below the layer's input channels, word 3 bit 10 and word 22 the channel group
// (first, n); word 4 as a Conv2D; word 11 the depthwise channel container of n channels; word
// 28 4 x PH x row_words and row_words; word 29 1; word 21 left as the common configuration set
// it. Failures as format_cnp_conv_registers.
NpRegisterMap format_dwconv2d_registers(const Layer& layer, std::shared_ptr<Layer> alt_layer, bool ib_spikes,
                                        bool pr_flag, const std::vector<hw::Ident>& excluded_nps, bool registers_only,
                                        bool common_flag);

// A new record for `device`'s version holding the program of `layer`: record_cnp_conv_layer
// with the blocks of format_dwconv2d_registers. Failures as those two, among them
// std::runtime_error "Invalid layer type for CNP recording." for a layer of another type and
// "Layer '<name>' has no input_shift variable." for a recorded NP of a layer without input
// shifts.
std::unique_ptr<program::Record> record_program_dwconv2d_layer(const Device& device, const Layer& layer,
                                                               std::shared_ptr<Layer> alt_layer, bool ib_spikes,
                                                               bool pr_flag,
                                                               const std::vector<hw::Ident>& excluded_nps,
                                                               bool registers_only, bool common_flag);

}  // namespace ornix::v2
