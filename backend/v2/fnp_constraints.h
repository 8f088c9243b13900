#pragma once

#include "hardware/mapping_status.h"
#include "mapping/hardware_constraints.h"
#include "ornix/layer.h"

namespace ornix::v2 {

// The constraint check of a Dense1D layer on an FNP. `inbound` is the layer's first inbound
// layer, or null when the mapping gives none (the input is then one flat vector). Every broken
// rule adds its line, in this order: input bits, output bits, output bits and activation,
// input layout (the layout must fit 2048 slots and suit the inbound kind: Packed after nothing
// or an FNP, RowAligned after a CNP, TNP-B or HRC, ChannelRowAligned after a CNP or TNP-B),
// "weights_bits", the weight values, 4-bit weights with 8-bit output, input bits below weight
// bits. Only when all of those pass are the input-shift memory (`constraints` word 14) and the
// FNP input memory (word 13) checked. Layer problems come back in the status; only the engine's
// accessors throw (a missing parameter or variable).
LayerMappingStatus check_fnp_constraints(const HardwareConstraints& constraints, const Layer& layer,
                                         const Layer* inbound);

}  // namespace ornix::v2
