#pragma once

// The register blocks of a Conv2D layer mapped on CNPs: one 64-word block (np_register_block.h)
// per NP, built from the NP defaults, the common CNP configuration and pooling groups, the
// layer's own input-container and filter fields (conv2d_registers.h), the mesh routing and,
// under partial reconfiguration, the alternative layer's view.

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "mapping/layer_mapping.h"
#include "ornix/hw/ident.h"
#include "ornix/layer.h"

namespace ornix::v2 {

// The layer's LayerMapping, which the layer keeps alive; std::invalid_argument "Layer '<name>'
// has no layer mapping." when it holds none or one without an NP list.
const LayerMapping& cnp_layer_mapping(const Layer& layer);

// One block of kNpRegisterWords words per NP, ordered by ident.
using NpRegisterMap = std::map<hw::Ident, std::vector<uint32_t>>;

// The blocks of `layer`, a built Conv2D whose mapping is a LayerMapping, for every NP of its
// `nps` list whose ident is not in `excluded_nps` (a later NP of an ident replaces an earlier
// one). `alt_layer` (may be empty) is the layer that shares the NPs under partial
// reconfiguration: an NP that its mapping also lists gets its view. `ib_spikes` sets the
// input-buffer spike bit of every block; `pr_flag` goes to the mesh routing and to the
// alternative view; `registers_only` parks the NPs (layer id 0xFE, no merge or skip-DMA
// fields); `common_flag` is word 1 bit 29.
//
// Per NP with n filters, NC input channels and a padded input of PW x PH, at ib input bits:
// R = ceil(ib x PW / 8) rounded up to 4 (bytes of one padded row of one channel); word 4 holds
// (R x NC / 4, low 27 bits) x PH, word 11 the channel container of n filters, word 21 n, word
// 28 R and R x NC / 4, word 29 ceil(n / 8); the pool size is 1 without pooling and for global
// average pooling, else "pool_size".
//
// Failures: a layer that is not a Conv2D, std::runtime_error "Invalid layer type for CNP
// recording."; no convolution or pooling data, "The layer <name> is not built."; no input
// shape, "Cannot get input size before it is set."; no LayerMapping (of the layer or of
// `alt_layer`) or an NP without allocation, std::invalid_argument; a value wider than its
// field panics "Attempted to write value V into a W-bit field, which will cause an
// overflow."; failures of the register groups, of the kernel-size rules and of the engine's
// accessors (a missing parameter) pass through. Nothing is returned on failure.
NpRegisterMap format_conv2d_registers(const Layer& layer, std::shared_ptr<Layer> alt_layer, bool ib_spikes,
                                      bool pr_flag, const std::vector<hw::Ident>& excluded_nps, bool registers_only,
                                      bool common_flag);

}  // namespace ornix::v2
