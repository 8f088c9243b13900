#pragma once

// The program of a FullyConnected layer mapped on one generation-1 FNP: for the first NP of its
// LayerMapping,
//   target 7   its register block (format_fnp_regs, without learning), at address 0;
//   then       its memory image (format_fnp_ram): on an FNP3 as target 6 at address 0, on an
//              FNP2 as the record's external filters track.

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "hardware/component.h"
#include "ornix/device.h"
#include "ornix/hw/ident.h"
#include "ornix/layer.h"
#include "program/record.h"

namespace ornix::v1 {

// A new record for `device`'s version. An NP listed in `skip_nps` gives an empty record;
// `registers_only` leaves the memory image out. The image is built from the layer's "weights",
// "threshold" and "act_step" (in sixteenths) under its "weights_bits" and activation.
// `reconfig_layer` (may be null), `ib_spikes` and `route_flag` go to format_fnp_regs. The
// failures of format_fnp_regs, format_fnp_ram and Record::add_np_track pass through, and no
// record is returned then.
std::unique_ptr<program::Record> record_program_dense_layer(const Device& device, const Layer& layer,
                                                            std::shared_ptr<Layer> reconfig_layer, bool ib_spikes,
                                                            bool route_flag, const std::vector<hw::Ident>& skip_nps,
                                                            bool registers_only);

// Adds the memory image of `layer`, mapped on `np`, to `record`: on an FNP3 as target 6 at
// address 0, on an FNP2 as the external filters track; written in place from the layer's
// "weights", "threshold" and "act_step" under its "weights_bits" and activation, then handed to
// `patch` (when given) before it is final. The failures of format_fnp_ram, of `patch` and of
// Record::add_np_track pass through.
void record_fnp_image(program::Record& record, const hw::Component& np, const Layer& layer,
                      const std::function<void(std::span<uint32_t> image)>& patch = nullptr);

}  // namespace ornix::v1
