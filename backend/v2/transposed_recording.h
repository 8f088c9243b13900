#pragma once

// The programs of the two transposed convolutions mapped on CNPs, Conv2DTranspose and
// DepthwiseConv2DTranspose: each is recorded as its non-transposed twin (Conv2D, resp.
// DepthwiseConv2D, cnp_conv_recording.h) with its own register blocks. Each NP's window is a
// TransposedCnpSplit: the NP's input partition and, where an ordinary split holds its pooled
// output window, the same window with x, y, width and height doubled. The blocks program stride
// 1, 8-bit weights, the transposed flag (word 20 bit 9) and no pooling, whatever the layer's
// stride, "weights_bits" and pooling parameters; the weights themselves are formatted at the
// layer's "weights_bits" (the checks admit only 8).

#include <memory>
#include <vector>

#include "backend/v2/cnp_conv_register_builder.h"
#include "ornix/device.h"
#include "ornix/hw/ident.h"
#include "ornix/layer.h"
#include "program/record.h"

namespace ornix::v2 {

// format_cnp_conv_registers for kConv2DTransposeForm (resp. kDepthwiseConv2DTransposeForm):
// `layer` must be a Conv2DTranspose (resp. DepthwiseConv2DTranspose) with an input shape; the
// container fields are those of format_conv2d_registers (resp. format_dwconv2d_registers) at 8
// weight bits. Failures as format_cnp_conv_registers (never "not built").
NpRegisterMap format_transposed_conv2d_registers(const Layer& layer, std::shared_ptr<Layer> alt_layer, bool ib_spikes,
                                                 bool pr_flag, const std::vector<hw::Ident>& excluded_nps,
                                                 bool registers_only, bool common_flag);
NpRegisterMap format_transposed_dwconv2d_registers(const Layer& layer, std::shared_ptr<Layer> alt_layer,
                                                   bool ib_spikes, bool pr_flag,
                                                   const std::vector<hw::Ident>& excluded_nps, bool registers_only,
                                                   bool common_flag);

// A new record for `device`'s version holding the program of `layer`: record_cnp_conv_layer
// with the blocks of the matching builder above. Failures as those, among them
// std::runtime_error "Invalid layer type for CNP recording." for a layer of another type.
std::unique_ptr<program::Record> record_program_transposed_conv2d_layer(const Device& device, const Layer& layer,
                                                                        std::shared_ptr<Layer> alt_layer,
                                                                        bool ib_spikes, bool pr_flag,
                                                                        const std::vector<hw::Ident>& excluded_nps,
                                                                        bool registers_only, bool common_flag);
std::unique_ptr<program::Record> record_program_transposed_dwconv2d_layer(const Device& device, const Layer& layer,
                                                                          std::shared_ptr<Layer> alt_layer,
                                                                          bool ib_spikes, bool pr_flag,
                                                                          const std::vector<hw::Ident>& excluded_nps,
                                                                          bool registers_only, bool common_flag);

}  // namespace ornix::v2
