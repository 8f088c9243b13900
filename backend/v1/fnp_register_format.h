#pragma once

// The register block of a FullyConnected layer on a generation-1 FNP (FNP2: weights in
// external memory; FNP3: in the NP). Fields in np_registers.h.

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "hardware/component.h"
#include "ornix/device.h"
#include "ornix/hw/ident.h"
#include "ornix/layer.h"

namespace ornix::v1 {

// The FNP of a mapped FullyConnected layer: the first component of its LayerMapping.
// std::logic_error without LayerMapping; FnpError "The layer <name> is mapped on no NP." when the
// mapping lists no component.
const hw::Component& mapped_fnp(const Layer& layer);

// One entry: the ident of the first NP of the layer's LayerMapping and its block, from
// default_np_regs(): NP mode (word 1), value formats (3), input window (10, 11, 14), neurons and
// output (15, 16), on an FNP3 the weight blocks (17), the learning words (36 to 38; from the
// layer's learning parameters when `learning`), output routing (44 to 47; `route_flag` in word
// 44), on an FNP2 the mesh configuration DMA (49) of `device`'s mesh, the partial-
// reconfiguration view when `reconfig_layer` (may be null) has a component with the NP's ident,
// and the input-buffer spike bit with `ib_spikes`.
//
// Failures (nothing is returned): 4-bit inputs on a double-buffered NP, std::invalid_argument
// "4-bit FNP inputs require single buffer mode."; a field overflow (input bits above 7, weight
// bits outside 1 to 5, act_bits outside 0 to 7, units above 0x1FFFF, an FNP3 image above 65535
// words), panic; the failures of mapped_fnp; an FNP2 on a device without mesh, std::invalid_argument; and the
// failures of the routing writers.
std::map<hw::Ident, std::vector<uint32_t>> format_fnp_regs(const Device& device, const Layer& layer, bool learning,
                                                           std::shared_ptr<Layer> reconfig_layer, bool ib_spikes,
                                                           bool route_flag);

}  // namespace ornix::v1
