#pragma once

// The program of a Convolutional or SeparableConvolutional layer mapped on generation-1 CNPs,
// for every NP of its LayerMapping in its order:
//   target 7   its register block (cnp_register_format.h), at address 0;
//   target 0   its weights: a standard layer's filters of the NP; a separable layer's depthwise
//              stream D at 0, then the NP's pointwise filters at (|D| + 15) / 16;
//   target 4   its threshold/step words (format_cnp_threshold_steps), at address 0.

#include <cstdint>
#include <memory>
#include <vector>

#include "backend/v1/cnp_error.h"
#include "ornix/device.h"
#include "ornix/hw/ident.h"
#include "ornix/layer.h"
#include "ornix/tensor.h"
#include "program/record.h"

namespace ornix::v1 {

// [19:0] threshold (20-bit two's complement; 0x80000 without `activation`), then the step word
// (sixteenths of an act_step, at most 0xFFFFF), for filters first .. first + filters - 1.
// Both tensors must hold int32 values (panic "Wrong requested type %s for a tensor of type
// %s."), and a value for each of those filters (std::invalid_argument). With activation a
// threshold outside -524288 .. 524287 panics "V cannot fit in a 20 bits signed integer."; a
// step above 0xFFFFF, read as unsigned 32-bit so that a negative one is refused too, throws
// CnpError "act_step should be between 0 and 65535. Receives act_step <step / 16>.".
std::vector<uint32_t> format_cnp_threshold_steps(const Dense& threshold, const Dense& steps16, bool activation,
                                                 uint32_t first, uint32_t filters);

// A new record for `device`'s version. An NP listed in `skip_nps` gets an empty register block;
// with `registers_only` only the register blocks are recorded. `reconfig_layer` (may be null),
// `ib_spikes` and `route_flag` go to the register formatter. The layer must be a Convolutional
// (std::bad_cast otherwise); the failures of the formatters and of Record::add_np_track pass
// through, and no record is returned then.
std::unique_ptr<program::Record> record_program_conv_layer(const Device& device, const Layer& layer,
                                                           std::shared_ptr<Layer> reconfig_layer, bool ib_spikes,
                                                           bool route_flag, const std::vector<hw::Ident>& skip_nps,
                                                           bool registers_only);

// The same for a SeparableConvolutional layer.
std::unique_ptr<program::Record> record_program_sep_conv_layer(const Device& device, const Layer& layer,
                                                               std::shared_ptr<Layer> reconfig_layer, bool ib_spikes,
                                                               bool route_flag,
                                                               const std::vector<hw::Ident>& skip_nps,
                                                               bool registers_only);

}  // namespace ornix::v1
