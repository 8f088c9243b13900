#pragma once

// The register blocks of a Conv2D layer mapped on CNPs (the convolution form built by
// cnp_conv_register_builder.h).

#include <memory>
#include <vector>

#include "backend/v2/cnp_conv_register_builder.h"
#include "ornix/hw/ident.h"
#include "ornix/layer.h"

namespace ornix::v2 {

// format_cnp_conv_registers for kConv2DForm: `layer` must be a built Conv2D. Per NP with n
// filters, NC input channels and a padded input of PW x PH, at ib input bits: R = ceil(ib x PW
// / 8) rounded up to 4 (bytes of one padded row of one channel); word 4 holds (R x NC / 4, low
// 27 bits) x PH, word 11 the channel container of n filters, word 21 n, word 28 R and R x NC /
// 4, word 29 ceil(n / 8). Failures as format_cnp_conv_registers.
NpRegisterMap format_conv2d_registers(const Layer& layer, std::shared_ptr<Layer> alt_layer, bool ib_spikes,
                                      bool pr_flag, const std::vector<hw::Ident>& excluded_nps, bool registers_only,
                                      bool common_flag);

}  // namespace ornix::v2
